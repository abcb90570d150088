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
#include <utility>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;

namespace morvane {

struct Command;

struct ActionState {
    bool enabled = true;
    bool checked = false;
    std::optional<QString> caption = {};  // a caption that changes at run time
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
    // window, so shortcuts work with the menus closed. The builder is a
    // child of the window. The handlers are looked up when used, so they
    // may be filled before or after building.
    ActionBuilder(QMainWindow& window, const ActionHandlers& handlers);

    QAction* Action(std::string_view name) const;
    QMenu* TopMenu(int index) const;

    // Recomputes enabled, checked and run-time captions of every action;
    // done on every menu's aboutToShow, and by the main window on window
    // change and document notifications.
    void UpdateAll();

private:
    struct Built {
        const Command* command;
        QAction* action;
    };

    void Build(QMainWindow& window);
    QMenu* MenuFor(const Command& command);
    void Update(const Built& built) const;
    void Trigger(const Built& built) const;

    const ActionHandlers& handlers_;
    std::vector<Built> built_;  // in table order
    std::vector<QMenu*> topMenus_;
    std::map<std::pair<int, std::string_view>, QMenu*> subMenus_;
};

}  // namespace morvane
