#pragma once
// The preferences dialog (環境設定): a page list and one page of controls
// per page name, built from the table of preference controls. The controls
// hold states apart from the settings: 閉じる stores them (and the caller
// hands the values to every open window), 初期化 resets the controls only.
// Nothing is written to the settings store before the program exits.
#include <QDialog>

#include <functional>
#include <vector>

#include "app/CAppProfile.h"

class QListWidget;
class QStackedWidget;

namespace morvane {

class TFormPreference final : public QDialog {
public:
    explicit TFormPreference(CAppProfile& profile, QWidget* parent = nullptr);

    // The control showing PreferenceControls()[index].
    QWidget* Control(int index) const { return controls_[size_t(index)]; }
    QListWidget* Pages() const { return pages_; }
    // The states the controls show now.
    std::vector<SettingData> States() const;
    // 初期化(&I): the controls to their first-start states.
    void ResetAsked();
    // 閉じる: the states into the profile, then the dialog closes.
    void CloseAsked();

    // Where a "参照" button looks for a file of its kind; tests replace it.
    std::function<QString(const QString& filter)> askFile;

private:
    QWidget* MakeControl(const PreferenceControl& c, const SettingEntry& entry, QWidget* page);
    void Show(const std::vector<SettingData>& states);
    // The dependent controls follow their boxes.
    void UpdateEnabled();
    int IndexOf(const char* setting, int bit = -1) const;

    CAppProfile& profile_;
    QListWidget* pages_;
    QStackedWidget* stack_;
    std::vector<QWidget*> controls_;
};

} // namespace morvane
