#pragma once
// The recorded steps of a document as a list: one row per step with its
// number and the kind of its first command packet, the current step marked
// and the steps that can be redone greyed. The rows are a compact vector
// (a stream offset and a kind per step) behind a virtual model: the stream
// is walked once when a document is shown, and afterwards only the steps
// that undo, redo or recording changed are read again. A stream that
// cannot be read any further lists the steps up to that point.
#include <QAbstractListModel>

#include <cstdint>
#include <vector>

namespace morvane {

class CEventMngr;
class TPaper;

class EventLogModel final : public QAbstractListModel {
public:
    enum Role { CurrentRole = Qt::UserRole + 1, RedoRole, KindRole };

    explicit EventLogModel(QObject* parent = nullptr);

    void SetPaper(TPaper* paper);
    TPaper* Paper() const { return paper_; }
    // The document recorded, undid or redid steps.
    void Refresh();
    // Steps up to and including the current one.
    int32_t Current() const { return current_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Step {
        uint32_t offset; // where the step begins in the stream
        uint16_t kind;   // PacketId of its first command packet
    };
    // Appends the whole steps of the stream from `from` up to `to`.
    void Walk(CEventMngr* events, uint32_t from, uint32_t to);

    TPaper* paper_ = nullptr;
    std::vector<Step> steps_;
    int32_t current_ = 0;
    uint32_t lastEnd_ = 0; // where the last step read ends
};

// A step's kind as the log shows it.
QString StepKindName(uint16_t kind);

} // namespace morvane
