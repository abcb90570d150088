// The main window's document file commands: save-as to a scripted path, the
// title's modified mark through painting, undo to the saved step and a
// save, close with "Yes" saving the document, revert, and a broken file.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "support/FileBytes.h"
#include "support/MainFormHarness.h"
#include "support/TempFolder.h"

namespace morvane {

class DocumentFileCommandsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<TMainForm>& form_ = session_.form;
    support::TempFolder folder_;

    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    TDrawWindow* PaintedWindow()
    {
        harness::AnswerNewDocument(*form_, 160, 120);
        if (!Trigger("ActFileNew"))
            return nullptr;
        TDrawWindow* w = form_->ActiveDrawWindow();
        QTest::qWait(1);
        w->FitView();
        harness::Drag(w, {120, 120}, {450, 330});
        return w;
    }
    QString Path(const char* name) const { return QString::fromStdString(folder_ / name); }
    static QString ShownTitle(TDrawWindow* w) { return w->parentWidget()->windowTitle(); }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void saveAsMarksAndReopens()
    {
        TDrawWindow* w = PaintedWindow();
        QVERIFY(w);
        QVERIFY(w->isWindowModified());
        const QString path = Path("a.mci");
        form_->askDocumentSavePath = [path] { return path; };
        QVERIFY(Trigger("ActFileSaveAs"));
        QVERIFY(!w->isWindowModified());
        QCOMPARE(ShownTitle(w), QStringLiteral("a.mci[*]"));
        QCOMPARE(w->DocumentPath(), path.toStdString());
        const uint64_t saved = harness::Checksum(w->Paper().Composite());

        // Painted, then undone back to the saved step: no longer modified.
        harness::Drag(w, {400, 100}, {150, 350});
        QVERIFY(w->isWindowModified());
        QVERIFY(Trigger("ActEditUndo"));
        QVERIFY(!w->isWindowModified());
        QVERIFY(Trigger("ActEditRedo"));
        QVERIFY(w->isWindowModified());
        // The save command writes under the window's name without asking.
        form_->askDocumentSavePath = [] { return QString(); };
        QVERIFY(Trigger("ActFileSave"));
        QVERIFY(!w->isWindowModified());
        QVERIFY(Trigger("ActEditUndo"));
        QVERIFY(w->isWindowModified());
        const uint64_t painted = [&] {
            Trigger("ActEditRedo");
            return harness::Checksum(w->Paper().Composite());
        }();
        QVERIFY(painted != saved);

        // Closed with "Yes" after a change: saved as the document, then gone.
        harness::Drag(w, {100, 380}, {500, 90});
        const uint64_t last = harness::Checksum(w->Paper().Composite());
        w->FitView();
        QTest::qWait(1);
        w->parentWidget()->grab().save(harness::ShotPath(QStringLiteral("document-file-before-close.png")));
        notifier_.script = {Answer::Yes};
        form_->findChild<QMdiArea*>()->closeActiveSubWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(form_->DrawWindows().size(), size_t(0));

        TDrawWindow* again = form_->OpenGivenFile(path);
        QVERIFY(again);
        QCOMPARE(harness::Checksum(again->Paper().Composite()), last);
        QCOMPARE(ShownTitle(again), QStringLiteral("a.mci[*]"));
        QVERIFY(!again->isWindowModified());
        QTest::qWait(1);
        again->parentWidget()->grab().save(harness::ShotPath(QStringLiteral("document-file-reopened.png")));
    }

    void revertReadsTheFileAgain()
    {
        TDrawWindow* w = PaintedWindow();
        QVERIFY(w);
        QVERIFY(!Trigger("ActFileRevert")); // no file yet
        const QString path = Path("r.mci");
        QVERIFY(form_->SaveDocumentAs(*w, path));
        const uint64_t saved = harness::Checksum(w->Paper().Composite());
        harness::Drag(w, {400, 100}, {150, 350});
        notifier_.script = {Answer::No};
        QVERIFY(Trigger("ActFileRevert"));
        QVERIFY(harness::Checksum(w->Paper().Composite()) != saved);
        QCOMPARE(notifier_.messages.back().text, std::string("r.mci\rに加えられた変更を破棄して再読込していいですか?"));
        notifier_.script = {Answer::Yes};
        QVERIFY(Trigger("ActFileRevert"));
        QCOMPARE(harness::Checksum(w->Paper().Composite()), saved);
        QVERIFY(!w->isWindowModified());
        // The reverted document records on: painting and undo still work.
        harness::Drag(w, {400, 100}, {150, 350});
        QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(harness::Checksum(w->Paper().Composite()), saved);
    }

    void brokenFilesAreReported()
    {
        // Not a document at all: no window, the path and code shown.
        const QString junk = Path("junk.mci");
        support::WriteBytes(junk.toStdString(), support::Bytes(100, 7));
        QVERIFY(!form_->OpenGivenFile(junk));
        QCOMPARE(notifier_.messages.back().text, junk.toStdString() + "\r    (err=16)");

        // A good file cut inside its layer: the window keeps what was read,
        // modified and without a name to save over.
        TDrawWindow* w = PaintedWindow();
        QVERIFY(w);
        const QString path = Path("cut.mci");
        QVERIFY(form_->SaveDocumentAs(*w, path));
        support::Bytes bytes = support::ReadBytes(path.toStdString());
        bytes.resize(bytes.size() - 200);
        support::WriteBytes(path.toStdString(), bytes);
        // The saved window shows the path: it would only come to the front.
        w->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TDrawWindow* cut = form_->OpenGivenFile(path);
        QVERIFY(cut);
        QVERIFY(cut->isWindowModified());
        QVERIFY(cut->DocumentPath().empty());
        form_->askDocumentSavePath = [] { return QString(); };
        QVERIFY(Trigger("ActFileSave")); // asks for a name; cancelled
        QCOMPARE(support::ReadBytes(path.toStdString()), bytes);

        // A folder that cannot be written: the path and the code.
        const QString nowhere = Path("missing/x.mci");
        QVERIFY(!form_->SaveDocumentAs(*cut, nowhere));
        QCOMPARE(notifier_.messages.back().text, nowhere.toStdString() + "\r    (err=6)");
        QTest::qWait(1);
        cut->parentWidget()->grab().save(harness::ShotPath(QStringLiteral("document-file-cut.png")));
    }
};

} // namespace morvane

QTEST_MAIN(morvane::DocumentFileCommandsTest)
#include "DocumentFileCommandsTest.moc"
