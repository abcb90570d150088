#pragma once
// The event log: the recorded steps of the active document, the current
// one marked and the redo steps greyed. A click on a step undoes or redoes
// to it (not while a recording plays).
#include <QWidget>

class QListView;

namespace morvane {

class EventLogModel;
class TMainForm;

class TEventLogPanel final : public QWidget {
public:
    explicit TEventLogPanel(TMainForm& form, QWidget* parent = nullptr);

    void Refresh();
    // Undoes or redoes until the row is the current step; false when the
    // window takes no edits or the history cannot reach it.
    bool StepTo(int row);

    EventLogModel* Model() const { return model_; }
    QListView* List() const { return list_; }

private:
    TMainForm& form_;
    EventLogModel* model_;
    QListView* list_;
};

} // namespace morvane
