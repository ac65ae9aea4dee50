#include "ui/QtDialogTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ui {

namespace {

// Qt's name of the translation for a language file's Id.
QString qtLocaleOf(const QString& languageId) {
    if (languageId == QLatin1String("German")) return QStringLiteral("de");
    if (languageId == QLatin1String("Russian")) return QStringLiteral("ru");
    if (languageId == QLatin1String("Chinese")) return QStringLiteral("zh_CN");
    return {};
}

}  // namespace

void UseQtDialogTexts(const QString& languageId) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    const auto name = QStringLiteral("velmoraQtDialogTexts");
    // Owned by the application, so that it lives as long as the dialogs that use it.
    delete app->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly);
    const QString locale = qtLocaleOf(languageId);
    if (locale.isEmpty()) return;
    auto* translator = new QTranslator(app);
    translator->setObjectName(name);
    if (translator->load(QStringLiteral("qtbase_") + locale,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

}  // namespace ui
