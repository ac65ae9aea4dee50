#pragma once
// The program's settings, one global instance `Settings`, stored in "ConfigSet.kzvset" in the data
// folder. The published properties below are the file's elements, in this order.

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>

#include "settings/BaseConfig.h"
#include "settings/StringsObj.h"

namespace settings {

// The extensions the program knows, by kind of media, in the order the options dialog offers them.
// Every video kind belongs to the default list; the audio kind is only offered.
struct TExtensionKind {
    const char* Extensions;  // each "." + lower-case extension, separated by blanks
    bool Video;
};
inline constexpr std::array<TExtensionKind, 10> kExtensionKinds{{
    // Windows Media, Real Media, MPEG-1/2
    {".asf .avi .wm .wmp .wmv", true},
    {".ram .rm .rmvb .rp .rpm .rt .smil .scm", true},
    {".dat .m1v .m2v .m2p .m2ts .mp2v .mpe .mpeg .mpeg1 .mpeg2 .mpg .mpv2 .pss .pva .tp .tpr .ts", true},
    // MPEG-4, 3GPP, Apple, Flash, CD and DVD
    {".m4b .m4r .m4p .m4v .mp4 .mpeg4", true},
    {".3g2 .3gp .3gp2 .3gpp", true},
    {".mov .qt", true},
    {".flv .f4v .swf .hlv", true},
    {".ifo .vob", true},
    // other video, audio
    {".amv .csf .divx .evo .mkv .mod .pmp .vp6 .bik .mts .xlmv .ogm .ogv .ogx", true},
    {".aac .ac3 .acc .aiff .amr .ape .au .cda .dts .flac .m1a .m2a .m4a .mka .mp2 .mp3 .mpa .mpc .ra .tta "
     ".wav .wma .wv .mid .midi .ogg .oga",
     false},
}};

// Every video extension of the kinds above, each "." + lower-case extension + ";": the setting's default.
QByteArray DefaultVideoExts();

inline constexpr int kMaxHistoryPaths = 10;
// The block counts a toggle may use: the options dialog's range, and velmora-cli's.
inline constexpr qint32 kMinBlocks = 8;
inline constexpr qint32 kMaxBlocks = 200'000;
// Far more than every video extension there is; a longer VideoExts (a damaged or hand-made file) is
// cut to it on load, since every window and search builds something per extension.
inline constexpr qsizetype kMaxVideoExtsBytes = 64 * 1024;

class TKZVConfig : public TBaseConfig {
    Q_OBJECT
    Q_PROPERTY(bool KeepFileTime READ KeepFileTime WRITE SetKeepFileTime)
    Q_PROPERTY(QByteArray VideoExts READ VideoExts WRITE SetVideoExts)
    Q_PROPERTY(settings::TStringsObj* HistoryPaths READ HistoryPaths WRITE SetHistoryPaths)
    Q_PROPERTY(bool ShowRiskWarn READ ShowRiskWarn WRITE SetShowRiskWarn)
    Q_PROPERTY(bool ShowSIBP READ ShowSIBP WRITE SetShowSIBP)
    Q_PROPERTY(qint32 Blocks READ Blocks WRITE SetBlocks)
    Q_PROPERTY(QString LangFileId READ LangFileId WRITE SetLangFileId)
    Q_PROPERTY(bool RemoveThumbnails READ RemoveThumbnails WRITE SetRemoveThumbnails)
    Q_PROPERTY(bool WholeStreams READ WholeStreams WRITE SetWholeStreams)

public:
    // Newest first, at most ten: an empty path is ignored, a path already listed moves to the front in
    // its new form. Listed means: the same letters, in the same case where file names are case-sensitive
    // (here), in any case where they are not.
    void AddHistoryPath(const QString& path);
    // Whether the extension of the file-name part (from its last dot, lower-cased) is listed.
    bool IsVideoFile(const QString& fileName) const;
    // "*.asf;*.avi;...;*.ogx": every listed extension with a star in front, no closing semicolon.
    QString GetVideoMask() const;
    // Takes over the installer's language choice into `LangFileId` once ("SetupLang.ini", copied from
    // the program folder into the data folder). Loading that language is the start-up's part.
    void TakeInstallerLanguage(const QString& programFolder, const QString& dataFolder);

    bool KeepFileTime() const noexcept { return keepFileTime_; }
    void SetKeepFileTime(bool value) noexcept { keepFileTime_ = value; }
    const QByteArray& VideoExts() const noexcept { return videoExts_; }
    void SetVideoExts(const QByteArray& value) { videoExts_ = value; }
    TStringsObj* HistoryPaths() const noexcept { return historyPaths_; }
    bool ShowRiskWarn() const noexcept { return showRiskWarn_; }
    void SetShowRiskWarn(bool value) noexcept { showRiskWarn_ = value; }
    bool ShowSIBP() const noexcept { return showSIBP_; }
    void SetShowSIBP(bool value) noexcept { showSIBP_ = value; }
    qint32 Blocks() const noexcept { return blocks_; }
    void SetBlocks(qint32 value) noexcept { blocks_ = value; }
    const QString& LangFileId() const noexcept { return langFileId_; }
    void SetLangFileId(const QString& value) { langFileId_ = value; }
    // Take a scrambled video's pictures out of the desktop's thumbnail cache (and a restored one's
    // failure notes), so that file managers stop showing what it holds.
    bool RemoveThumbnails() const noexcept { return removeThumbnails_; }
    void SetRemoveThumbnails(bool value) noexcept { removeThumbnails_ = value; }
    // Scramble MPEG transport and program streams whole rather than their head, for users who fear a
    // player forced to the format. Slow: as long as copying the file.
    bool WholeStreams() const noexcept { return wholeStreams_; }
    void SetWholeStreams(bool value) noexcept { wholeStreams_ = value; }

public:
    // Public for the meta-object system; create through TProjObj::Create, which also makes the children.
    Q_INVOKABLE explicit TKZVConfig(QObject* owner = nullptr);

protected:
    // Keeps what a hand-edited or damaged file holds within what the program can use: Blocks within
    // kMinBlocks..kMaxBlocks, VideoExts within kMaxVideoExtsBytes (with a log line).
    void Loaded() override;

private:
    void SetHistoryPaths(TStringsObj* value) noexcept { historyPaths_ = value; }

    bool keepFileTime_ = true;
    QByteArray videoExts_;
    TStringsObj* historyPaths_ = nullptr;  // owned by the base, created with the object
    bool showRiskWarn_ = true;
    bool showSIBP_ = true;
    qint32 blocks_ = 8;
    QString langFileId_;
    bool removeThumbnails_ = true;
    bool wholeStreams_ = false;
};

// The one settings object of the program: created at start-up, freed after the main window is gone.
extern std::unique_ptr<TKZVConfig> Settings;

}  // namespace settings
