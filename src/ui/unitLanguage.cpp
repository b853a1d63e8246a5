#include "unitLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTranslator>
#include <memory>

namespace {

struct TLanguage {
    int langID; // Windows language identifier, as the language dialog stores it
    const char* locale;
};

const TLanguage kLanguages[] = {
    {1033, "en"}, {2057, "en"}, {1031, "de"}, {1036, "fr"}, {3084, "fr"}, {1034, "es"},
    {3082, "es"}, {1040, "it"}, {1043, "nl"}, {2070, "pt"}, {1046, "pt"}, {1053, "sv"},
};

QPointer<QTranslator> g_translator;

} // namespace

QString LangIDLocale_str(int langID) {
    for (const TLanguage& l : kLanguages) {
        if (l.langID == langID)
            return QLatin1String(l.locale);
    }
    return {};
}

QString TranslationsFolder_str() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
}

bool ApplyLanguage_b(int langID) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (g_translator) {
        QCoreApplication::removeTranslator(g_translator);
        delete g_translator.data();
    }
    const QString locale = LangIDLocale_str(langID);
    if (locale.isEmpty())
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("vorqen_") + locale, TranslationsFolder_str()))
        return false;
    translator->setParent(app);
    g_translator = translator.release();
    QCoreApplication::installTranslator(g_translator);
    return true;
}
