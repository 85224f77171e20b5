#include "scan/DriveInfo.h"

#include "grid/Grid.h"
#include "platform/Beep.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "scan/ImportDrives.h"
#include "scan/SizeFormat.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"

namespace scan {
namespace {

int IndexOf(const QString& drive) {
    return drive.isEmpty() ? -1 : platform::LetterIndex(drive.at(0));
}

struct Step {
    qint64 below;
    qint32 size;
};

qint32 FromTable(std::initializer_list<Step> steps, qint32 above, qint64 total) {
    for (const Step& s : steps) {
        if (total < s.below) return s.size;
    }
    return above;
}

}  // namespace

QString FileSystemCode(const QString& drive) {
    const int index = IndexOf(drive);
    return index < 0 ? QString() : platform::DriveFileSystemCode(index);
}

qint32 EstimateClusterSize(const QString& code, qint64 total) {
    if (code == u"F") {
        return FromTable({{32 * kMB, 512},
                          {64 * kMB, 1024},
                          {128 * kMB, 2048},
                          {256 * kMB, 4096},
                          {512 * kMB, 8192},
                          {1 * kGB, 16384},
                          {2 * kGB, 32768}},
                         65536, total);
    }
    if (code == u"3") {
        return FromTable({{64 * kMB, 512},
                          {128 * kMB, 1024},
                          {256 * kMB, 2048},
                          {8 * kGB, 4096},
                          {16 * kGB, 8192},
                          {32 * kGB, 16384}},
                         32768, total);
    }
    if (code == u"N") {
        return FromTable(
            {{16 * kTB, 4096}, {32 * kTB, 8192}, {64 * kTB, 16384}, {128 * kTB, 32768}}, 65536,
            total);
    }
    if (code == u"X") return FromTable({{256 * kMB, 4096}, {32 * kGB, 32768}}, 131072, total);
    return 0;
}

void ReadDrive(DriveList& list, const QString& drive) {
    const int index = IndexOf(drive);
    app::ProgramContext& c = app::Ctx();
    // A code once read stays; an empty one is asked again next time.
    if (index >= 0 && c.FsCodes.size() == 26 && c.FsCodes.at(index).isNull()) {
        const QString code = FileSystemCode(drive);
        if (!code.isEmpty()) c.FsCodes[index] = code.at(0);
    }
    platform::DriveSpace space;
    if (index < 0 || !platform::ReadDriveSpace(index, space)) {
        list.VOLDSP.clear();
        platform::Beep();
        list.ClusterSize = 0;
        return;
    }
    list.DriveTotal = space.total;
    list.DriveFree = space.free;
    list.ClusterChosen = false;
    if (space.total >= 2 * kGB) {
        const QString choice = app::OptText("ClusterFixedS");
        const QChar digit = index < choice.size() ? choice.at(index) : QChar(u'-');
        if (digit >= u'0' && digit <= u'8') {
            list.ClusterSize = kClusterSizes[size_t(digit.unicode() - u'0')];
            list.ClusterChosen = true;
            return;
        }
        const QChar code = c.FsCodes.size() == 26 ? c.FsCodes.at(index) : QChar();
        const qint32 estimate =
            EstimateClusterSize(code.isNull() ? QString() : QString(code), space.total);
        // The table knows four file systems only; every other one (ext4, xfs, btrfs …)
        // takes its measured cluster size rather than that of the drive read before.
        list.ClusterSize = estimate != 0 ? estimate : space.clusterSize;
    } else {
        // total and free are whole clusters already.
        list.ClusterSize = space.clusterSize;
    }
    if (list.ClusterSize <= 0) {
        list.VOLDSP.clear();
        platform::Beep();
        list.ClusterSize = 0;
    }
}

int DriveKind(const QString& drive) {
    const int index = IndexOf(drive);
    const int type = index < 0 ? 1 : platform::DriveType(index);
    if (type == 2) return 2;
    if (type == 5) return 1;
    return 3;
}

QString VolumeLabel(const QString& drive) {
    const int index = IndexOf(drive);
    QString label = index < 0 ? QString() : platform::DriveLabel(index);
    const qsizetype point = label.indexOf(u'.');
    if (point >= 0) label.remove(point, 1);
    return label;
}

const std::array<QString, 5>& OverviewHeadings() {
    static const std::array<QString, 5> h = {QStringLiteral("Drive名"), QStringLiteral("ｸﾗｽﾀｰ"),
                                             QStringLiteral("総容量"), QStringLiteral("使用済"),
                                             QStringLiteral("空き容量")};
    return h;
}

const std::array<QString, 5>& FolderHeadings() {
    static const std::array<QString, 5> h = {
        QStringLiteral("Folder名"), QStringLiteral("File数"), QStringLiteral("File サイズ"),
        QStringLiteral("占有サイズ"), QStringLiteral("下位合計")};
    return h;
}

const std::array<QString, 5>& ChangeHeadings() {
    static const std::array<QString, 5> h = {
        QStringLiteral("Folder名"), QStringLiteral("±File数"), QStringLiteral("±File サイズ"),
        QStringLiteral("±占有サイズ"), QStringLiteral("±下位合計")};
    return h;
}

void ShowOverview(DriveList& list) {
    list.TOTDSP.clear();
    list.FREDSP.clear();
    list.USEDSP.clear();
    list.SUMDSP.clear();
    list.DLSDSP.clear();
    list.MOVDSP.clear();
    list.DestinationLeft.reset();
    list.OverviewShown = true;
    if (!list.Grid) return;
    grid::Grid& g = *list.Grid;
    // The overview's rows are drives, given as text.
    g.st.source = nullptr;
    grid::ClearGrid(g);
    g.st.backColourMode = 4;
    grid::SetGradientFrom(g, 0);
    grid::SetGradientTo(g, 1);
    g.st.selectionMode = 0;
    g.st.treeLines = 0;
    list.Folders.reset();
    list.Collapsed.clear();
    list.RowCount = 0;
    const QChar sep = grid::kFieldSep;
    const QString empty4 = QString(4, sep);
    const app::ProgramContext& c = app::Ctx();
    for (int i = 0; i < 26; ++i) {
        if (c.DriveTypes[size_t(i)] < 2) continue;
        const QString d = QString(QChar(u'A' + i)) + u':';
        QString text;
        if (platform::DriveType(i) == 2 && (i == 0 || i == 2)) {
            text = d + empty4;
        } else if (const ImportedDrive* imported = ImportedDriveAt(i)) {
            // An imported scan has no figures until it is listed, and is never read here.
            text = d + u'\t' + QStringLiteral("  (") + ImportedLabel(*imported) + u')' + empty4;
        } else {
            const QString label = VolumeLabel(d);
            ReadDrive(list, d);
            if (list.DriveTotal == 0 || list.ClusterSize == 0) {
                text = d + empty4;
            } else {
                text = d;
                if (!label.isEmpty()) text += u'\t' + QStringLiteral("  (") + label + u')';
                text += sep + QString::number(list.ClusterSize);
                text += sep + PlainSize(list.DriveTotal, list.UnitMode);
                text += sep + PlainSize(list.DriveTotal - list.DriveFree, list.UnitMode);
                text += sep + PlainSize(list.DriveFree, list.UnitMode);
            }
        }
        const int row = g.st.rowCount;
        grid::AddRow(g, text, 0, 0);
        g.st.rowIcon[size_t(row)] = quint8(10 + DriveKind(d));
        g.st.rowIndent.set(row, 6);
    }
    list.SUMNAM.clear();
    list.VOLDSP = QStringLiteral("My Computer");
    if (list.SetBusy) list.SetBusy(false);
    grid::RepaintAll(g);
}

namespace {
// What removable drives showed, kept by the application for the run.
struct RemovableCachePart : app::Application::Part {
    std::array<RemovableCacheEntry, 26> entries{};
};
}  // namespace

std::array<RemovableCacheEntry, 26>& RemovableCache() {
    return app::Application::Current().part<RemovableCachePart>().entries;
}

void ForgetRemovable(QChar letter) {
    const int index = platform::LetterIndex(letter);
    if (index >= 0) RemovableCache()[size_t(index)] = {};
}

}  // namespace scan
