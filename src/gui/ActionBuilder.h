#pragma once
// Builds the menu bar and one QAction per command onto a main window.
// The main window registers what each command does; a command with no
// registered handler stays visible and disabled.
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;

namespace morvane {

struct ActionState {
    bool enabled = true;
    bool checked = false;
    std::optional<QString> caption;  // a caption that changes at run time
};

class ActionHandlers {
public:
    using Execute = std::function<void()>;
    using Update = std::function<ActionState()>;
    struct Entry {
        Execute execute;
        Update update;  // none: always enabled, unchecked
    };

    void Set(std::string_view name, Execute execute, Update update = {});
    const Entry* Find(std::string_view name) const;

private:
    std::map<std::string, Entry, std::less<>> entries_;
};

class ActionBuilder : public QObject {
public:
    // Builds the menus into window.menuBar() and adds every action to the
    // window, so shortcuts work with the menus closed. The handlers may be
    // filled before or after; they must outlive the builder.
    ActionBuilder(QMainWindow& window, const ActionHandlers& handlers);

    QAction* Action(std::string_view name) const;
    QMenu* TopMenu(int index) const;

    // Recomputes enabled, checked and run-time captions of every action;
    // done on every menu's aboutToShow, and by the main window on window
    // change and document notifications.
    void UpdateAll();

private:
    void Build(QMainWindow& window);
    void Update(QAction& action, std::string_view name);
    void Trigger(std::string_view name);

    const ActionHandlers& handlers_;
    std::map<std::string, QAction*, std::less<>> actions_;
    std::vector<QMenu*> topMenus_;
};

}  // namespace morvane
