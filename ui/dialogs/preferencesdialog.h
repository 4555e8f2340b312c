#pragma once

#include "config/profilefile.h"
#include "config/settings.h"
#include "ui/dialogs/programchooser.h"
#include "ui/dialogs/settingsdialog.h"

#include <map>
#include <string>

class QComboBox;
class QLabel;

namespace loomway {

// The startup preferences dialog: the display at start, the menu at start,
// redirection at start, the window to close at start and the program to
// start at the end (picked with the program chooser).
class PreferencesDialog : public SettingsDialog {
    Q_OBJECT
public:
    PreferencesDialog(ProfileFile& file, Settings& settings, ProgramChooser& chooser,
                      QWidget* owner);

    // Fills the boxes, loads [Preferences] into them and shows the dialog
    // with the owner disabled.
    void Open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadPreferencesIntoDialog();
    // The [Preferences] value as shown, fallback when it is empty; remembered
    // so that Write gives a value the user left alone its stored bytes back.
    QString Stored(const char* key, const QString& fallback);
    void Write(const char* key, const QString& text);
    void OnExitProgramClicked();
    void OnOkClicked();

    ProfileFile& m_file;
    Settings& m_settings;
    ProgramChooser& m_chooser;

    QComboBox* m_startupDisplay;
    QComboBox* m_menuVisible;
    QComboBox* m_redirectionAtStart;
    QComboBox* m_closeProgram;
    QLabel* m_exitProgram;
    std::map<std::string, SettingText> m_read;
};

} // namespace loomway
