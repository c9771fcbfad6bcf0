#include "platform/qt/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace kt {

void InstallJapaneseFontFallback() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // Proportional Gothic faces first: the design font is proportional.
    const QStringList wanted = {"IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "Noto Sans JP",
                                "IPAGothic",  "IPAゴシック",   "VL PGothic",       "TakaoPGothic"};
    const QStringList families = QFontDatabase::families();
    QStringList present;
    for (const QString& f : wanted) {
        if (families.contains(f, Qt::CaseInsensitive)) present << f;
    }
    if (!present.isEmpty()) {
        QFont::insertSubstitutions(QString::fromUtf8(kDesignFontName), present);
    }
}

QFont DesignFont(int pixelHeight) {
    QFont font(QString::fromUtf8(kDesignFontName));
    font.setPixelSize(pixelHeight);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace kt
