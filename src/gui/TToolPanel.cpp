#include "gui/TToolPanel.h"

#include <QAction>
#include <QGridLayout>
#include <QKeySequence>
#include <QMenu>
#include <QToolButton>

#include "input/ToolState.h"
#include "gui/ToolIcons.h"

namespace morvane {

namespace {

constexpr int kColumns = 6;
constexpr int kIconSide = 22;

QString Caption(const ToolItem& item) { return QString::fromUtf8(item.caption); }

QToolButton* MakeButton(QWidget* parent, const QString& name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setIconSize(QSize(kIconSide, kIconSide));
    return button;
}

} // namespace

TToolPanel::TToolPanel(ToolState& tools, QWidget* parent) : QWidget(parent), tools_(tools)
{
    setObjectName(QStringLiteral("toolPanel"));
    Build();
    listener_ = tools_.Listen([this](uint32_t changes) {
        if (changes & toolchange::kOperation)
            Refresh();
    });
    Refresh();
}

TToolPanel::~TToolPanel() { tools_.Forget(listener_); }

void TToolPanel::Build()
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(1);
    int at = 0;
    const auto place = [&](QToolButton* button) {
        grid->addWidget(button, at / kColumns, at % kColumns);
        buttons_.push_back(button);
        ++at;
    };
    const std::span<const ToolGroup> groups = ToolGroups();
    for (size_t g = 0; g < groups.size(); ++g) {
        const ToolGroup& group = groups[g];
        if (group.menu) {
            // The button stands for the group's last tool; the arrow lists them all.
            QToolButton* button = MakeButton(this, QStringLiteral("toolGroup%1").arg(g));
            button->setPopupMode(QToolButton::MenuButtonPopup);
            auto* menu = new QMenu(button);
            for (const ToolItem& item : group.items) {
                QAction* action = menu->addAction(ToolIcon(item.icon), Caption(item));
                action->setEnabled(ItemAvailable(item));
                connect(action, &QAction::triggered, this, [this, &item] { Choose(item); });
            }
            button->setMenu(menu);
            connect(button, &QToolButton::clicked, this, [this, g] { Choose(picker_.LastUsed(g)); });
            groups_.push_back({g, button});
            place(button);
            continue;
        }
        for (const ToolItem& item : group.items) {
            QToolButton* button = MakeButton(this, Caption(item));
            button->setIcon(ToolIcon(item.icon));
            button->setEnabled(ItemAvailable(item));
            button->setToolTip(group.key && &item == &group.items.front()
                                   ? QStringLiteral("%1 (%2)").arg(Caption(item)).arg(QChar(group.key))
                                   : Caption(item));
            connect(button, &QToolButton::clicked, this, [this, &item] { Choose(item); });
            items_.push_back({&item, button});
            place(button);
        }
    }
    grid->setColumnStretch(kColumns, 1);
}

void TToolPanel::Refresh()
{
    picker_.Follow(tools_);
    const ToolItem* current = ItemOf(tools_);
    const std::span<const ToolGroup> groups = ToolGroups();
    for (const GroupButton& g : groups_) {
        const ToolItem& shown = picker_.LastUsed(g.group);
        g.button->setIcon(ToolIcon(shown.icon));
        const char key = groups[g.group].key;
        g.button->setToolTip(key ? QStringLiteral("%1 (%2)").arg(Caption(shown)).arg(QChar(key)) : Caption(shown));
        g.button->setChecked(current == &shown);
    }
    for (const ItemButton& i : items_)
        i.button->setChecked(current == i.item);
}

void TToolPanel::Choose(const ToolItem& item)
{
    if (choose)
        choose(item);
    else
        ChooseItem(tools_, item);
    // A refused choice leaves the buttons as the state is.
    Refresh();
}

void TToolPanel::GroupKey(char key, bool shift)
{
    const bool step = stepNext ? stepNext() : true;
    if (const ToolItem* item = picker_.Key(key, shift, step, tools_))
        Choose(*item);
}

void TToolPanel::SizeStep(bool up) { tools_.StepSize(up); }

void TToolPanel::AddKeys(QWidget& window)
{
    const auto add = [&](const QKeySequence& keys, std::function<void()> run) {
        auto* action = new QAction(&window);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, std::move(run));
        window.addAction(action);
    };
    for (const ToolGroup& group : ToolGroups()) {
        if (!group.key)
            continue;
        const char key = group.key;
        add(QKeySequence(QChar(key)), [this, key] { GroupKey(key, false); });
        add(QKeySequence(Qt::SHIFT | Qt::Key(key)), [this, key] { GroupKey(key, true); });
    }
    add(QKeySequence(Qt::Key_BracketLeft), [this] { SizeStep(false); });
    add(QKeySequence(Qt::Key_BracketRight), [this] { SizeStep(true); });
    add(QKeySequence(Qt::Key_X), [this] { tools_.SwapColours(); });
    add(QKeySequence(Qt::Key_D), [this] { tools_.ResetColours(); });
}

} // namespace morvane
