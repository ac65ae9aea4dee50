#include "ui/GuiUtility.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMetaProperty>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QSignalBlocker>
#include <QWidget>

#include "platform/Messages.h"
#include "settings/AppFolders.h"
#include "ui/MsgBoxForm.h"
#include "ui/OptionForm.h"
#include "ui/RiskWarnForm.h"

namespace ui {

namespace {

QString boxTitle() {
    return settings::DisplayName();
}

int execMsgBox(const QString& text, int buttons, int icon) {
    const auto box = CreateForm<TMsgBoxForm>(text, buttons, icon);
    box->lblCaption->setText(boxTitle());
    box->lblCaption->adjustSize();
    box->ShowModal();
    return box->Answer();
}

QString execSelectPath(const QString& prompt, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), prompt, startFolder);
}

std::optional<QStringList> execOpenFiles(QWidget* parent, const QString& filter) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(filter);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFiles();
}

TShellCalls& current() {
    static TShellCalls calls = DefaultShellCalls();
    return calls;
}

}  // namespace

TShellCalls DefaultShellCalls() {
    TShellCalls calls;
    calls.MsgBox = execMsgBox;
    calls.SelectPath = execSelectPath;
    calls.OpenFiles = execOpenFiles;
    calls.OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    calls.ShowRiskWarning = ExecRiskWarning;
    calls.ShowOptionsDialog = ExecOptionsDialog;
    calls.DismissMsgBox = [] {
        if (auto* box = qobject_cast<TMsgBoxForm*>(QApplication::activeModalWidget())) box->reject();
    };
    return calls;
}

TShellCalls& ShellCalls() {
    return current();
}

TShellCallsScope::TShellCallsScope(TShellCalls calls) : saved_(std::move(current())) {
    current() = std::move(calls);
}

TShellCallsScope::~TShellCallsScope() {
    current() = std::move(saved_);
}

int MsgBox(const QString& text, int buttons, int icon, int /*style*/) {
    return ShellCalls().MsgBox(text, buttons, icon);
}

void DismissMsgBox() {
    if (const auto& dismiss = ShellCalls().DismissMsgBox) dismiss();
}

QString SelectPath(const QString& prompt, const QString& /*rootText*/, const QString& startFolder) {
    return ShellCalls().SelectPath(prompt, startFolder);
}

std::optional<QStringList> OpenFilesDialog(QWidget* parent, const QString& filter) {
    return ShellCalls().OpenFiles(parent, filter);
}

bool OpenDir(const QString& folder, bool /*select*/) {
    return ShellCalls().OpenUrl(QUrl::fromLocalFile(folder));
}

bool OpenFileDir(const QString& file, bool /*select*/) {
    // There is no portable way to select the file in the file manager: show the folder that holds it.
    return ShellCalls().OpenUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

bool RunFile(const QString& file, const QString& /*parameters*/) {
    return ShellCalls().OpenUrl(QUrl::fromLocalFile(file));
}

bool OpenUrl(const QString& address) {
    return ShellCalls().OpenUrl(QUrl(address));
}

QString ToQtFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1].trimmed();
        if (patterns.isEmpty()) continue;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QRegion RoundRectRegion(int width, int height, int ellipse) {
    if (width <= 0 || height <= 0) return {};
    const qreal radius = ellipse / 2.0;
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void MakeRoundRectForm(QWidget* form, int ellipse) {
    if (form == nullptr) return;
    form->setMask(RoundRectRegion(form->width(), form->height(), ellipse));
}

QPoint GetCursorOppPos(const QWidget* control) {
    return control ? control->mapFromGlobal(QCursor::pos()) : QCursor::pos();
}

bool NoChangeSet(QWidget* control, const QVariant& value) {
    if (control == nullptr) return false;
    const QMetaProperty property = control->metaObject()->userProperty();
    if (!property.isValid() || !property.isWritable()) return false;
    const QSignalBlocker blocker(control);
    return property.write(control, value);
}

void BroadcastScreenMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, bool post) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (post) {
            platform::CheckPostMessage(window, msg, wParam, lParam);
        } else {
            platform::TMessageEvent message(msg, wParam, lParam);
            QCoreApplication::sendEvent(window, &message);
        }
    }
}

}  // namespace ui
