#include "WindowFont.h"

#include <QStringList>

namespace {

const QString kSongTi = QStringLiteral("宋体");

QStringList Fallbacks()
{
    return {QStringLiteral("SimSun"),
            QStringLiteral("NSimSun"),
            QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("Noto Sans SC"),
            QStringLiteral("Source Han Sans SC"),
            QStringLiteral("Droid Sans Fallback")};
}

}  // namespace

void RegisterSongTiSubstitutes()
{
    QFont::insertSubstitutions(kSongTi, Fallbacks());
}

QFont MainWindowFont()
{
    QFont font;
    font.setFamilies(QStringList{kSongTi} + Fallbacks());
    font.setPixelSize(12);
    return font;
}
