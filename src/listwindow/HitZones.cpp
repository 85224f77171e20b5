#include "listwindow/HitZones.h"

#include <cmath>

namespace listwindow {
namespace {

// The index of the zone whose columns hold x, or -1.
template <size_t N>
int ZoneByX(const std::array<HitZone, N>& zones, double x) {
    const int px = int(std::lround(x));
    for (size_t i = 0; i < N; ++i) {
        if (px >= zones[i].rect.left() && px <= zones[i].rect.right()) return int(i);
    }
    return -1;
}

}  // namespace

const std::array<HitZone, 5>& ToolbarZones() {
    static const std::array<HitZone, 5> zones = {{
        {QRect(0, 0, 54, 23), u"新しいウィンドウを開きます"},
        {QRect(0, 23, 27, 24), u"リストをテキスト･ファイルに保存します"},
        {QRect(27, 23, 27, 24), u"リストを印刷します"},
        {QRect(0, 47, 27, 23), u"選択したフォルダーを削除･移動するメニューを出します"},
        {QRect(27, 47, 27, 23), u"オプション設定画面を出します"},
    }};
    return zones;
}

const std::array<HitZone, 5>& LevelZones() {
    // The level buttons are 23 pixels wide with 2-pixel gaps that do nothing.
    static const std::array<HitZone, 5> zones = {{
        {QRect(159, 1, 30, 22), u"すべての階層を表示します (テンキー 0)"},
        {QRect(59, 1, 23, 22), u"第1階層まで表示します (テンキー 1)"},
        {QRect(84, 1, 23, 22), u"第2階層まで表示します (テンキー 2)"},
        {QRect(109, 1, 23, 22), u"第3階層まで表示します (テンキー 3)"},
        {QRect(134, 1, 23, 22), u"第4階層まで表示します (テンキー 4)"},
    }};
    return zones;
}

const std::array<HitZone, 6>& DisplayZones() {
    // GB came last, at the strip's right end, so every older button kept its place.
    static const std::array<HitZone, 6> zones = {{
        {QRect(0, 1, 41, 22), u"背景の種類を切り替えます、長押しで選べます (Alt+L)"},
        {QRect(41, 1, 42, 22), u"フォルダー名を階層の色で表示します (Alt+C)"},
        {QRect(83, 1, 27, 22), u"サイズを KB で表示します (Alt+K)"},
        {QRect(110, 1, 27, 22), u"サイズを MB で表示します (Alt+M)"},
        {QRect(137, 1, 47, 22), u"フォルダーをフルパスで表示します (Alt+F)"},
        {QRect(184, 1, 27, 22), u"サイズを GB で表示します (Alt+G)"},
    }};
    return zones;
}

const std::array<const char16_t*, 2>& SortTips() {
    static const std::array<const char16_t*, 2> tips = {u"占有サイズの大きい順に並べます (Alt+S)",
                                                        u"下位合計の大きい順に並べます (Alt+X)"};
    return tips;
}

int ToolbarButtonAt(QPoint pos) {
    const auto& zones = ToolbarZones();
    for (size_t i = 0; i < zones.size(); ++i) {
        if (zones[i].rect.contains(pos)) return int(i);
    }
    return -1;
}

int LevelButtonAt(double x) {
    return ZoneByX(LevelZones(), x);
}

int DisplayButtonAt(double x) {
    return ZoneByX(DisplayZones(), x);
}

}  // namespace listwindow
