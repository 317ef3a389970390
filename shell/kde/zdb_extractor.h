#pragma once

#include <KFileMetaData/ExtractorPlugin>

// What Dolphin's tooltip, Information panel and Details tab show for a ROM database: the info
// tip and the ROM count, as the host program zelshell reads them from the file.
//   Title        the system's long name        (the tip's "System: " line)
//   Author       the credit                    (the tip's "Credit To: " line)
//   Description  the tip from its version line on: "Version: ...", a blank line, the notes
//   Line Count   the number of ROMs (one line of the database's list each)
// Empty values are left out, as is a count of 0.
class ZdbExtractor final : public KFileMetaData::ExtractorPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.kde.kf5.kfilemetadata.ExtractorPlugin" FILE "zdb_extractor.json")
    Q_INTERFACES(KFileMetaData::ExtractorPlugin)

public:
    explicit ZdbExtractor(QObject* parent = nullptr);

    QStringList mimetypes() const override;
    // Runs zelshell twice side by side and waits a few seconds at most.
    void extract(KFileMetaData::ExtractionResult* result) override;
};
