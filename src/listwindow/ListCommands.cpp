#include "listwindow/ListCommands.h"

#include "grid/Grid.h"
#include "platform/PathMap.h"
#include "util/PathUtil.h"

namespace listwindow {

QString DefaultReportName(QChar drive, const std::function<bool(const QString& name)>& exists) {
    const QString stem = QStringLiteral("Log") + drive.toUpper();
    QString name = stem + QStringLiteral(".TXT");
    for (int n = 1; exists && exists(name); ++n)
        name = stem + u'-' + QString::number(n) + QStringLiteral(".TXT");
    return name;
}

QString DropAppendedExtension(const QString& fileName) {
    if (!fileName.endsWith(QStringLiteral(".TXT"), Qt::CaseInsensitive)) return fileName;
    const QString shorter = fileName.chopped(4);
    // The dialog answers native paths: the name is what follows the last "/".
    const QString name = shorter.mid(shorter.lastIndexOf(u'/') + 1);
    if (util::GetExt(util::GetFileName(name)).isEmpty()) return fileName;
    // The name must not end in a bare dot or separator after the cut.
    return shorter.endsWith(u'.') ? fileName : shorter;
}

bool RowMatches(QStringView name, const QString& upperText) {
    return platform::DisplayName(name.toString()).toUpper().contains(upperText);
}

int FindRow(const grid::GridState& st, const QString& text, int start, int step) {
    const QString upper = text.toUpper();
    for (int r = start; r >= 0 && r < st.rowCount; r += step) {
        if (RowMatches(grid::CellView(st, 0, r), upper)) return r;
    }
    return -1;
}

}  // namespace listwindow
