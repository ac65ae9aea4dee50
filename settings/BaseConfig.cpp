#include "settings/BaseConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <exception>

#include "platform/Log.h"
#include "platform/Utility.h"

namespace settings {

namespace {

// Far above any settings file the program writes; a FIFO or a device never counts as one.
constexpr qint64 kMaxSettingsFileBytes = 256 * 1024 * 1024;

}  // namespace

TBaseConfig::TBaseConfig(QObject* owner)
    : TProjObj(owner),
      projectName_("ProjName"),
      fileName_(QCoreApplication::applicationDirPath() + QStringLiteral("/ConfigSet.xml")) {}

void TBaseConfig::Load() {
    if (fileLoaded_ || !QFileInfo::exists(fileName_)) return;
    try {
        QString problem;
        const std::optional<QByteArray> read =
            platform::ReadRegularFile(fileName_, kMaxSettingsFileBytes, &problem);
        if (!read) {
            platform::MsgOut(QStringLiteral("The settings file cannot be used, the defaults stay: ") +
                             problem);
            return;
        }
        const QByteArray& bytes = *read;
        pugi::xml_document doc;
        // A value of white space alone is a value: kept, where pugixml drops such text by default.
        if (!doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()),
                             pugi::parse_default | pugi::parse_ws_pcdata_single))
            return;
        LoadFromXML(doc.document_element());
    } catch (const std::exception&) {
        return;  // what was read before the error stays; the next Load tries again
    }
    fileLoaded_ = true;
    Loaded();
}

void TBaseConfig::BuildDocument(pugi::xml_document& doc) const {
    doc.reset();
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("UTF-16");
    pugi::xml_node root = doc.append_child("Config");
    root.append_attribute("project").set_value(projectName_.constData());
    root.append_attribute("version").set_value(platform::GetProVersion(true).c_str());
    SaveToXML(root);
}

bool TBaseConfig::Save(bool silent) {
    pugi::xml_document doc;
    BuildDocument(doc);
    return SaveDocument(doc, fileName_, silent);
}

}  // namespace settings
