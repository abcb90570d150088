#include "gui/EventLogModel.h"

#include <QBrush>
#include <QFont>
#include <QPalette>

#include <algorithm>
#include <utility>

#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/EventPacketTable.h"
#include "events/EventWalk.h"

namespace morvane {

namespace {

struct WalkState {
    std::vector<std::pair<uint32_t, uint16_t>> steps;
    uint32_t base = 0;
    uint32_t stepStart = 0;
    uint16_t kind = uint16_t(PacketId::None);
};

// State records and data blocks come before a step's command: the first
// other packet names the step.
bool Visit(void* user, uint64_t offset, uint8_t category, uint8_t code, std::span<const uint8_t> payload)
{
    auto& w = *static_cast<WalkState*>(user);
    if (w.kind == uint16_t(PacketId::None) && category > 1)
        w.kind = uint16_t(PacketIdOf(category, code));
    if (EndsStep(category, code)) {
        w.steps.emplace_back(w.stepStart, w.kind);
        w.stepStart = w.base + uint32_t(offset + 2 + payload.size());
        w.kind = uint16_t(PacketId::None);
    }
    return true;
}

} // namespace

EventLogModel::EventLogModel(QObject* parent) : QAbstractListModel(parent) {}

QString StepKindName(uint16_t kind)
{
    return kind < kPacketIdCount ? QString::fromLatin1(InfoOf(PacketId(kind)).name) : QString();
}

void EventLogModel::SetPaper(TPaper* paper)
{
    if (paper == paper_) {
        Refresh();
        return;
    }
    beginResetModel();
    paper_ = paper;
    steps_.clear();
    current_ = 0;
    lastEnd_ = 0;
    endResetModel();
    Refresh();
}

void EventLogModel::Refresh()
{
    CEventMngr* events = paper_ ? paper_->EventManager() : nullptr;
    if (!events)
        return;
    const int32_t committed = events->CommittedSteps();
    const int32_t redo = events->RedoCount();
    // Steps below both marks are as they were; those above the lower mark
    // are read again, and the redo steps above the current one are kept.
    const int32_t keep = std::clamp(std::min(current_, committed), 0, int32_t(steps_.size()));
    std::vector<Step> redoRows;
    if (redo > 0 && int32_t(steps_.size()) > committed)
        redoRows.assign(steps_.begin() + committed,
                        steps_.begin() + int32_t(std::min<size_t>(steps_.size(), size_t(committed) + size_t(redo))));
    beginResetModel();
    uint32_t from = lastEnd_;
    if (keep < int32_t(steps_.size())) {
        from = steps_[size_t(keep)].offset;
        steps_.resize(size_t(keep));
    }
    Walk(events, from, uint32_t(events->CommittedLength()));
    if (int32_t(steps_.size()) == committed)
        steps_.insert(steps_.end(), redoRows.begin(), redoRows.end());
    current_ = std::min(committed, int32_t(steps_.size()));
    endResetModel();
}

void EventLogModel::Walk(CEventMngr* events, uint32_t from, uint32_t to)
{
    WalkState w;
    w.base = w.stepStart = from;
    if (to > from)
        WalkStorePackets(events->Store(), from, to, Visit, &w);
    for (const auto& [offset, kind] : w.steps)
        steps_.push_back({offset, kind});
    lastEnd_ = w.stepStart;
}

int EventLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(steps_.size());
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    const bool current = row == current_ - 1, redo = row >= current_;
    switch (role) {
    case Qt::DisplayRole: return QStringLiteral("%1  %2").arg(row + 1).arg(StepKindName(steps_[size_t(row)].kind));
    case Qt::ForegroundRole: return redo ? QVariant(QBrush(Qt::gray)) : QVariant();
    case Qt::FontRole: {
        if (!current)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    case CurrentRole: return current;
    case RedoRole: return redo;
    case KindRole: return int(steps_[size_t(row)].kind);
    default: return {};
    }
}

} // namespace morvane
