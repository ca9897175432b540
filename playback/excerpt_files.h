#pragma once
// The excerpt store beside the executable and the two alternating temporary files.
#include <QString>

namespace playback {

// Program folder + "/" + the store's name (DORLO_STORE_NAME, from CMakeLists.txt).
QString storePath(const QString& programFolder);

// A folder of this user's own, ending with a separator: $TMPDIR when set, else the
// per-user runtime folder, else the program folder.
QString temporaryFolder(const QString& programFolder);

// The choice itself, from the environment's answers (either may be empty).
QString chooseTemporaryFolder(const QString& tmpDir, const QString& runtimeDir,
                              const QString& programFolder);

class ExcerptFiles {
public:
    QString CheminDat;
    QString DossierTemp;
    QString FichierMP3;
    bool nameFlag = false; // false: the next file is "Dorlo.mp3"

    // Picks the next name into FichierMP3 and flips the flag.
    void chooseNextName();

    // Deletes FichierMP3 (errors ignored) and writes clip k into it, never through a link
    // or a file planted under that name. False, with one line on stderr, when the file
    // could not be written whole; no player may then be handed it.
    bool extract(int k);

    // Deletes FichierMP3, ignoring every error.
    void deleteCurrent() const;

    // Empty when the store is usable, else a French sentence naming what is wrong,
    // for the play buttons' tooltip.
    QString storeProblem() const;
};

} // namespace playback
