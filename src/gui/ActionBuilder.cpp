#include "gui/ActionBuilder.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "app/CommandTable.h"

namespace morvane {
namespace {

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString DefaultCaption(const Command& command)
{
    QString caption = ToQString(command.caption);
    if (!command.keyHint.empty()) caption += u'\t' + ToQString(command.keyHint);
    return caption;
}

// The Qt keys a stored key stands for. The keypad keys also answer to the
// main keyboard's + and -, and Enter to both Return and the keypad Enter.
QList<QKeyCombination> QtKeys(uint8_t key)
{
    switch (key) {
    case Shortcut::kEnter: return {Qt::Key_Return, Qt::Key_Enter};
    case Shortcut::kNumPlus: return {QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus), Qt::Key_Plus};
    case Shortcut::kNumMinus: return {QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus), Qt::Key_Minus};
    case Shortcut::kInsert: return {Qt::Key_Insert};
    case Shortcut::kDelete: return {Qt::Key_Delete};
    case Shortcut::kBackspace: return {Qt::Key_Backspace};
    }
    if (key >= Shortcut::kF1 && key <= Shortcut::kF24) return {Qt::Key(Qt::Key_F1 + (key - Shortcut::kF1))};
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return {Qt::Key(key)};  // Qt uses ASCII here
    return {};
}

QList<QKeySequence> KeySequences(Shortcut shortcut)
{
    if (shortcut.Empty()) return {};
    Qt::KeyboardModifiers modifiers;
    if (shortcut.Ctrl()) modifiers |= Qt::ControlModifier;
    if (shortcut.Shift()) modifiers |= Qt::ShiftModifier;
    if (shortcut.Alt()) modifiers |= Qt::AltModifier;
    QList<QKeySequence> sequences;
    for (QKeyCombination key : QtKeys(shortcut.Key()))
        sequences.append(QKeySequence(QKeyCombination(modifiers | key.keyboardModifiers(), key.key())));
    return sequences;
}

}  // namespace

void ActionHandlers::Set(std::string_view name, Execute execute, Update update)
{
    entries_[std::string(name)] = Entry{std::move(execute), std::move(update)};
}

const ActionHandlers::Entry* ActionHandlers::Find(std::string_view name) const
{
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

ActionBuilder::ActionBuilder(QMainWindow& window, const ActionHandlers& handlers)
    : QObject(&window), handlers_(handlers)
{
    Build(window);
    UpdateAll();
}

void ActionBuilder::Build(QMainWindow& window)
{
    for (std::string_view caption : TopMenuCaptions()) {
        QMenu* menu = window.menuBar()->addMenu(ToQString(caption));
        connect(menu, &QMenu::aboutToShow, this, &ActionBuilder::UpdateAll);
        topMenus_.push_back(menu);
    }
    for (const Command& command : Commands()) {
        auto* action = new QAction(DefaultCaption(command), &window);
        action->setObjectName(ToQString(command.name));
        action->setShortcuts(KeySequences(command.shortcut));
        action->setCheckable(command.check != CheckRule::None);
        action->setVisible(command.visible);
        MenuFor(command)->addAction(action);
        window.addAction(action);  // shortcuts work while the menus are closed
        built_.push_back({&command, action});
        const Built built = built_.back();
        connect(action, &QAction::triggered, this, [this, built] { Trigger(built); });
    }
}

QMenu* ActionBuilder::MenuFor(const Command& command)
{
    QMenu* top = topMenus_[size_t(command.menu)];
    if (command.submenu.empty()) return top;
    QMenu*& sub = subMenus_[{int(command.menu), command.submenu}];
    if (!sub) {
        sub = top->addMenu(ToQString(command.submenu));
        connect(sub, &QMenu::aboutToShow, this, &ActionBuilder::UpdateAll);
    }
    return sub;
}

QAction* ActionBuilder::Action(std::string_view name) const
{
    for (const Built& built : built_)
        if (built.command->name == name) return built.action;
    return nullptr;
}

QMenu* ActionBuilder::TopMenu(int index) const
{
    return index >= 0 && size_t(index) < topMenus_.size() ? topMenus_[size_t(index)] : nullptr;
}

void ActionBuilder::UpdateAll()
{
    for (const Built& built : built_) Update(built);
}

void ActionBuilder::Update(const Built& built) const
{
    const ActionHandlers::Entry* entry = handlers_.Find(built.command->name);
    ActionState state;
    if (!entry || !entry->execute)
        state.enabled = false;
    else if (entry->update)
        state = entry->update();
    built.action->setEnabled(state.enabled);
    built.action->setChecked(built.action->isCheckable() && state.checked);
    built.action->setText(state.caption ? *state.caption : DefaultCaption(*built.command));
}

void ActionBuilder::Trigger(const Built& built) const
{
    // The state may have changed since the last update: ask again, and let
    // the check mark follow the handler rather than Qt's own toggling.
    // An execute handler may close the window and with it this builder.
    const ActionHandlers::Entry* entry = handlers_.Find(built.command->name);
    QPointer<const ActionBuilder> alive(this);
    if (entry && entry->execute && (!entry->update || entry->update().enabled)) entry->execute();
    if (alive) Update(built);
}

}  // namespace morvane
