#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "StringTable.h"

namespace tandrel {

namespace {

struct Installed {
    std::unique_ptr<QTranslator> qt;
    std::unique_ptr<QTranslator> own;
};

Installed& State() {
    static Installed installed;
    return installed;
}

// A translator for `locale` from `prefix` + language in `dir`, installed, or null where there is
// none for that language.
std::unique_ptr<QTranslator> Install(const QLocale& locale, const QString& prefix,
                                     const QString& dir) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, prefix, QStringLiteral("_"), dir) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}

}  // namespace

void LoadTranslations(const QLocale& locale) {
    UnloadTranslations();
    Installed& s = State();
    s.qt = Install(locale, QStringLiteral("qtbase"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    s.own = Install(locale, QStringLiteral("tandrel"), QStringLiteral(":/i18n"));
}

void UnloadTranslations() {
    Installed& s = State();
    for (std::unique_ptr<QTranslator>* t : {&s.qt, &s.own}) {
        if (*t) {
            QCoreApplication::removeTranslator(t->get());
            t->reset();
        }
    }
}

QString WindowString(int id) {
    return QCoreApplication::translate("StringTable", LoadString(id));
}

}  // namespace tandrel
