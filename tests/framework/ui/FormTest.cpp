#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/controls/Bevel.h"
#include "framework/controls/Edit.h"
#include "framework/controls/GlyphButton.h"
#include "framework/controls/Label.h"
#include "framework/controls/Panel.h"
#include "framework/controls/ProgressBar.h"
#include "framework/controls/StandardClasses.h"
#include "framework/runtime/Layout.h"
#include "framework/ui/Application.h"
#include "framework/ui/Form.h"
#include "framework/ui/MessageLoop.h"
#include "framework/ui/ReportedErrors.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestHandles.h"

namespace {

// The form of layouts/TfrmDialogTest.layout, counting what happens to it.
class TfrmDialogTest : public TForm {
public:
    explicit TfrmDialogTest(TComponent* owner) : TForm(owner)
    {
        Publish("FormCreate", this, &TfrmDialogTest::FormCreate);
        Publish("FormCloseQuery", this, &TfrmDialogTest::FormCloseQuery);
        Publish("Edit1Change", this, &TfrmDialogTest::Edit1Change);
        Publish("btnOkClick", this, &TfrmDialogTest::btnOkClick);
        Publish("btnFailClick", this, &TfrmDialogTest::btnFailClick);
        PublishField("Edit1", Edit1);
        PublishField("Edit2", Edit2);
        PublishField("btnOk", btnOk);
        PublishField("btnCancel", btnCancel);
        PublishField("btnFail", btnFail);
        PublishField("Panel1", Panel1);
        PublishField("Label1", Label1);
        PublishField("ProgressBar1", ProgressBar1);
    }

    static constexpr std::string_view kClassName = "TfrmDialogTest";

    std::string_view ClassName() const override { return kClassName; }

    void FormCreate(TObject*) { ++creates; }
    void FormCloseQuery(TObject*, bool& canClose)
    {
        ++closeQueries;
        visibleAtQuery = IsWindowVisible(Handle()) != FALSE;
        activeAtQuery = GetActiveWindow();
        focusAtQuery = GetFocus();
        if (refusals > 0) {
            --refusals;
            canClose = false;
        }
    }
    void Edit1Change(TObject*) { ++changes; }
    void btnOkClick(TObject*) { ++okClicks; }
    void btnFailClick(TObject*) { throw Exception("テストの失敗"); }

    TEdit* Edit1 = nullptr;
    TEdit* Edit2 = nullptr;
    TBitBtn* btnOk = nullptr;
    TBitBtn* btnCancel = nullptr;
    TBitBtn* btnFail = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* Label1 = nullptr;
    TProgressBar* ProgressBar1 = nullptr;

    int creates = 0;
    int closeQueries = 0;
    int refusals = 0;
    int changes = 0;
    int okClicks = 0;
    bool visibleAtQuery = false;
    HWND activeAtQuery = nullptr;
    HWND focusAtQuery = nullptr;
};

class TPlainForm : public TForm {
public:
    using TForm::TForm;
    static constexpr std::string_view kClassName = "TPlainForm";
    std::string_view ClassName() const override { return kClassName; }
};

// A control without a window, recording the mouse messages it gets.
class TProbe : public TControl {
public:
    TProbe(TForm& form, int left, int top, int width, int height) : TControl(&form)
    {
        SetParent(&form);
        SetBounds(left, top, width, height);
        OnMouseDown = TMouseEvent([this](TObject*, TMouseButton, TShiftState, int, int) { ++downs; });
        OnMouseUp = TMouseEvent([this](TObject*, TMouseButton button, TShiftState, int x, int y) {
            ++ups;
            lastButton = button;
            lastPoint = {x, y};
        });
        OnClick = TNotifyEvent([this](TObject*) { ++clicks; });
    }
    static constexpr std::string_view kClassName = "TProbe";
    std::string_view ClassName() const override { return kClassName; }

    int downs = 0;
    int ups = 0;
    int clicks = 0;
    TMouseButton lastButton = TMouseButton::Left;
    POINT lastPoint{-1, -1};
};

// Ends a modal run that a test failed to end, so that the test fails
// instead of hanging.
class TModalTimeout {
public:
    explicit TModalTimeout(TForm& form) : timer_(10000, Expired) { guarded_ = &form; }
    ~TModalTimeout() { guarded_ = nullptr; }
    TModalTimeout(const TModalTimeout&) = delete;
    TModalTimeout& operator=(const TModalTimeout&) = delete;

private:
    static void CALLBACK Expired(HWND, UINT, UINT_PTR, DWORD)
    {
        if (guarded_)
            guarded_->SetModalResult(mrAbort);
    }

    static inline TForm* guarded_ = nullptr;
    TThreadTimer timer_;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterStandardClasses();
        Application().SetTitle("テストアプリ");
        Application().SetOnException({});
    }
    void TearDown() override { Application().SetOnException({}); }

    static TComponentPtr<TfrmDialogTest> Create()
    {
        auto form = CreateForm<TfrmDialogTest>(nullptr);
        form->HandleNeeded();
        return form;
    }
    static void Post(TWinControl& control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        PostMessageA(control.Handle(), message, wParam, lParam);
    }
    static void PostClick(TWinControl& button) { Post(button, BM_CLICK); }
    static int RunModal(TForm& form)
    {
        const TModalTimeout timeout(form);
        return form.ShowModal();
    }
};

TEST_F(FormTest, IsBuiltFromItsLayoutResource)
{
    auto form = CreateForm<TfrmDialogTest>(nullptr);
    EXPECT_EQ(form->creates, 1);
    EXPECT_EQ(form->Name(), "frmDialogTest");
    EXPECT_EQ(form->Text(), "テストダイアログ");
    EXPECT_EQ(form->ClientWidth(), 320);
    EXPECT_EQ(form->ClientHeight(), 200);
    EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::Dialog);
    EXPECT_EQ(form->Font().Name(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(form->Font().Charset(), SHIFTJIS_CHARSET);
    EXPECT_EQ(form->ActiveControl(), form->Edit1);
    EXPECT_EQ(form->Label1->Parent(), form->Panel1);
    EXPECT_EQ(form->Label1->FocusControl(), form->Edit2);
    EXPECT_EQ(form->btnOk->ModalResult(), mrOk);
    EXPECT_TRUE(form->btnOk->Default());
    EXPECT_TRUE(form->btnCancel->Cancel());
    EXPECT_EQ(form->ProgressBar1->Max(), 3);
    EXPECT_EQ(form->ProgressBar1->Position(), 1);
    // Controls follow the form's font.
    EXPECT_EQ(form->Edit2->Font().Name(), "ＭＳ Ｐゴシック");
    // The auto-sized label fits its caption.
    EXPECT_GT(form->Label1->Width(), 0);
    EXPECT_GT(form->Label1->Height(), 0);
}

TEST_F(FormTest, TabOrderFollowsTheLayoutAndOrdersTheWindows)
{
    auto form = Create();
    EXPECT_EQ(form->btnOk->TabOrder(), 0);
    EXPECT_EQ(form->Edit1->TabOrder(), 1);
    EXPECT_EQ(form->btnCancel->TabOrder(), 2);
    EXPECT_EQ(form->Panel1->TabOrder(), 4);
    EXPECT_EQ(form->Edit2->TabOrder(), 0);
    HWND first = GetWindow(form->Handle(), GW_CHILD);
    EXPECT_EQ(first, form->btnOk->Handle());
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), form->Edit1->Handle());

    form->btnFail->SetTabOrder(0);
    EXPECT_EQ(form->btnOk->TabOrder(), 1);
    EXPECT_EQ(GetWindow(form->Handle(), GW_CHILD), form->btnFail->Handle());
}

TEST_F(FormTest, StoredFormReadsBackToTheSameLayout)
{
    auto form = CreateForm<TfrmDialogTest>(nullptr);
    const std::string stored = WriteLayout(*form);
    TfrmDialogTest copy(nullptr);
    TLayoutReader("TfrmDialogTest", stored).Read(copy);
    EXPECT_EQ(WriteLayout(copy), stored);
    EXPECT_NE(stored.find("Caption = \"フォルダ(&F)\""), std::string::npos);
    EXPECT_NE(stored.find("FocusControl = Edit2"), std::string::npos);
    EXPECT_NE(stored.find("ModalResult = mrOk"), std::string::npos);
}

TEST_F(FormTest, ModalRunEndsWithTheResultOfTheClickedButton)
{
    auto form = Create();
    PostClick(*form->btnOk);
    EXPECT_EQ(RunModal(*form), mrOk);
    EXPECT_EQ(form->okClicks, 1);
    EXPECT_EQ(form->closeQueries, 1);
    EXPECT_TRUE(form->visibleAtQuery);
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(IsWindowVisible(form->Handle()));

    // The same form runs again, with a fresh result.
    PostClick(*form->btnCancel);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(form->okClicks, 1);
}

TEST_F(FormTest, ModalRunDisablesTheOtherWindowsAndActivatesTheOwnerAfterwards)
{
    TPlainForm owner(nullptr);
    owner.SetClientSize(200, 100);
    owner.Show();
    auto dialog = CreateForm<TfrmDialogTest>(&owner);
    dialog->HandleNeeded();
    EXPECT_EQ(GetWindow(dialog->Handle(), GW_OWNER), owner.Handle());

    bool ownerEnabledDuringRun = true;
    dialog->btnOk->OnClick = TNotifyEvent([&](TObject*) { ownerEnabledDuringRun = IsWindowEnabled(owner.Handle()); });
    PostClick(*dialog->btnOk);
    EXPECT_EQ(RunModal(*dialog), mrOk);
    EXPECT_FALSE(ownerEnabledDuringRun);
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    EXPECT_EQ(GetActiveWindow(), owner.Handle());
}

TEST_F(FormTest, CloseQueryCanKeepTheFormOpen)
{
    auto form = Create();
    form->refusals = 1;
    PostClick(*form->btnOk);
    PostClick(*form->btnOk);
    EXPECT_EQ(RunModal(*form), mrOk);
    // The first attempt was refused and the form stayed on screen for the second.
    EXPECT_EQ(form->closeQueries, 2);
    EXPECT_EQ(form->okClicks, 2);
    EXPECT_TRUE(form->visibleAtQuery);
}

TEST_F(FormTest, EnterClicksTheDefaultButtonAndEscTheCancelButton)
{
    auto form = Create();
    Post(*form->Edit1, WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(RunModal(*form), mrOk);
    EXPECT_EQ(form->okClicks, 1);

    Post(*form->Edit1, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(form->okClicks, 1);
}

TEST_F(FormTest, EnterDoesNothingWhileTheDefaultButtonIsDisabled)
{
    auto form = Create();
    form->btnOk->SetEnabled(false);
    Post(*form->Edit1, WM_KEYDOWN, VK_RETURN);
    PostClick(*form->btnOk);
    Post(*form->Edit1, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(form->okClicks, 0);
    EXPECT_EQ(form->closeQueries, 1);
}

TEST_F(FormTest, EnterClicksTheFocusedButtonRatherThanTheDefault)
{
    auto form = Create();
    form->SetActiveControl(form->btnCancel);
    Post(*form->btnCancel, WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(form->okClicks, 0);
}

TEST_F(FormTest, LabelAcceleratorMovesTheFocusToItsControl)
{
    auto form = Create();
    Post(*form->Edit1, WM_SYSCHAR, 'f');
    Post(*form->Edit1, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(form->focusAtQuery, form->Edit2->Handle());
    EXPECT_TRUE(form->Label1->IsAccelerator('F'));
    EXPECT_FALSE(form->Label1->IsAccelerator('o'));
}

TEST_F(FormTest, ErrorInAMessageHandlerGoesToTheInstalledHandler)
{
    auto form = Create();
    TObject* sender = nullptr;
    std::string message;
    Application().SetOnException(TExceptionEvent([&](TObject* from, const std::exception& error) {
        sender = from;
        message = MessageOf(error);
    }));
    PostClick(*form->btnFail);
    PostClick(*form->btnCancel);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(message, "テストの失敗");
    EXPECT_EQ(sender, form.get());
}

TEST_F(FormTest, ErrorWithoutAHandlerGoesToTheStandardErrorDisplay)
{
    auto form = Create();
    PostClick(*form->btnFail);
    PostClick(*form->btnCancel);
    TMessageBoxWatcher watcher(form->Handle());
    EXPECT_EQ(RunModal(*form), mrCancel);
    const auto& seen = watcher.Wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, "テストアプリ");
    EXPECT_EQ(seen.text, "テストの失敗.");
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_HAND));
    EXPECT_FALSE(seen.watchedEnabled);
    // After the box the form is enabled and active again.
    EXPECT_EQ(form->activeAtQuery, form->Handle());
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
}

TEST_F(FormTest, TheErrorBoxAppearsOnlyAfterTheFailingHandlerHasReturned)
{
    auto form = Create();
    // The failing click runs inside another handler, as a message sent from
    // it; the box must wait until the loop has that handler's message back.
    std::atomic<bool> outerRunning = false;
    form->btnOk->OnClick = TNotifyEvent([&](TObject*) {
        outerRunning = true;
        SendMessageA(form->btnFail->Handle(), BM_CLICK, 0, 0);
        outerRunning = false;
    });
    std::atomic<bool> runningWhenShown = true;
    PostClick(*form->btnOk);
    TMessageBoxWatcher watcher(form->Handle(), 10000, [&] { runningWhenShown = outerRunning.load(); });
    EXPECT_EQ(RunModal(*form), mrOk);
    const auto& seen = watcher.Wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "テストの失敗.");
    EXPECT_FALSE(runningWhenShown) << "the box came up inside the handler that sent the failing message";
}

TEST_F(FormTest, AnErrorOutsideALoopWaitsForItAndForgetsASenderThatWent)
{
    std::vector<TObject*> senders;
    Application().SetOnException(
        TExceptionEvent([&](TObject* from, const std::exception&) { senders.push_back(from); }));
    auto form = Create();
    form->Show();
    SendMessageA(form->btnFail->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(senders.empty());
    TReportedErrors::HandleAll();
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], form.get());

    SendMessageA(form->btnFail->Handle(), BM_CLICK, 0, 0);
    form.reset();
    TReportedErrors::HandleAll();
    ASSERT_EQ(senders.size(), 2u);
    EXPECT_EQ(senders[1], nullptr);
}

// Closing a box activates its owner; a main window not yet shown (a failed
// start-up) stays unseen.
TEST_F(FormTest, OnlyAWindowOnTheScreenOwnsAMessageBox)
{
    auto form = Create();
    TMessageLoop::SetMainWindow(form.get());
    const auto box = [] {
        TMessageBoxWatcher watcher;
        Application().ShowException(Exception("起動できません"));
        return watcher.Wait();
    };
    const TMessageBoxWatcher::TSeen whileHidden = box();
    EXPECT_TRUE(whileHidden.found);
    EXPECT_EQ(whileHidden.owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    form->Show();
    EXPECT_EQ(box().owner, form->Handle());
    TMessageLoop::SetMainWindow(nullptr);
}

TEST_F(FormTest, StandardErrorDisplayAddsAFullStopOnlyAfterCharactersThatSortAfterIt)
{
    for (const auto& [message, shown] : {std::pair<std::string, std::string>{"disk full", "disk full."},
                                         {"already ends.", "already ends."},
                                         {"ends with a comma,", "ends with a comma,"}}) {
        TMessageBoxWatcher watcher;
        Application().ShowException(Exception(message));
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.text, shown);
        EXPECT_EQ(seen.caption, "テストアプリ");
    }
}

TEST_F(FormTest, MouseAtTheFormGoesToTheTopmostEnabledVisibleControlWithoutAWindow)
{
    auto form = Create();
    TProbe under(*form, 0, 0, 10, 10);
    TProbe top(*form, 0, 0, 1, 1);
    TProbe hidden(*form, 0, 0, 1, 1);
    hidden.SetVisible(false);
    TProbe disabled(*form, 0, 0, 1, 1);
    disabled.SetEnabled(false);

    Post(*form, WM_RBUTTONUP);
    Post(*form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
    Post(*form, WM_LBUTTONUP, 0, MAKELPARAM(5, 6));
    PostClick(*form->btnCancel);
    EXPECT_EQ(RunModal(*form), mrCancel);

    EXPECT_EQ(top.ups, 1);
    EXPECT_EQ(top.lastButton, TMouseButton::Right);
    EXPECT_EQ(top.clicks, 0);
    EXPECT_EQ(hidden.ups + disabled.ups, 0);
    // At 5,6 only the larger control lies under the point; it gets the
    // button in its own coordinates and a click.
    EXPECT_EQ(under.downs, 1);
    EXPECT_EQ(under.ups, 1);
    EXPECT_EQ(under.clicks, 1);
    EXPECT_EQ(under.lastPoint.x, 5);
    EXPECT_EQ(under.lastPoint.y, 6);
}

TEST_F(FormTest, EditAnnouncesEveryChangeOfItsText)
{
    auto form = Create();
    TEdit& edit = *form->Edit1;
    edit.SetText("C:\\Program Files");
    EXPECT_EQ(form->changes, 1);
    edit.SetText("C:\\Program Files");
    EXPECT_EQ(form->changes, 1);
    edit.SetText("");
    EXPECT_EQ(form->changes, 2);

    // Typing changes it too.
    Post(edit, WM_CHAR, 'x');
    Post(edit, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(RunModal(*form), mrCancel);
    EXPECT_EQ(form->changes, 3);
    EXPECT_EQ(edit.Text(), "x");

    // Before its window exists as well.
    TEdit loose(nullptr);
    int looseChanges = 0;
    loose.OnChange = TNotifyEvent([&](TObject*) { ++looseChanges; });
    loose.SetText("表");
    EXPECT_EQ(looseChanges, 1);
    EXPECT_EQ(loose.Text(), "表");
}

TEST_F(FormTest, AutoSizeFitsTheClientAreaAndBottomAnchoredControlsKeepTheirMargin)
{
    TPlainForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::Dialog);
    form.SetClientSize(370, 251);
    form.HandleNeeded();
    TProbe picture(form, 0, 0, 370, 251);
    TProbe button(form, 44, 188, 114, 42);
    button.SetAnchors(akLeft | akBottom);
    form.SetAutoSize(true);
    EXPECT_EQ(form.ClientWidth(), 370);
    EXPECT_EQ(form.ClientHeight(), 251);

    picture.SetBounds(0, 0, 1, 1);
    EXPECT_EQ(form.ClientWidth(), 158);
    EXPECT_EQ(form.ClientHeight(), 63);
    EXPECT_EQ(button.Top(), 0);

    picture.SetBounds(0, 0, 370, 251);
    EXPECT_EQ(form.ClientWidth(), 370);
    EXPECT_EQ(form.ClientHeight(), 251);
    EXPECT_EQ(button.Left(), 44);
    EXPECT_EQ(button.Top(), 188);
}

TEST_F(FormTest, DockedAndAnchoredControlsFollowTheClientArea)
{
    auto form = Create();
    form->SetClientSize(400, 300);
    EXPECT_EQ(form->ProgressBar1->Left(), 0);
    EXPECT_EQ(form->ProgressBar1->Top(), 284);
    EXPECT_EQ(form->ProgressBar1->Width(), 400);
    EXPECT_EQ(form->btnOk->Top(), 220);
    EXPECT_EQ(form->btnCancel->Top(), 156);
    // A change of frame keeps the client area.
    form->SetBorderStyle(TFormBorderStyle::Sizeable);
    EXPECT_EQ(form->ClientWidth(), 400);
    EXPECT_EQ(form->ClientHeight(), 300);
}

TEST_F(FormTest, DialogHasItsCreatorAsItsOneOwnerWhicheverGoesFirst)
{
    auto opener = std::make_unique<TPlainForm>(nullptr);
    opener->HandleNeeded();
    auto dialog = CreateForm<TfrmDialogTest>(opener.get());
    dialog->HandleNeeded();
    EXPECT_EQ(dialog->Owner(), nullptr);
    EXPECT_TRUE(opener->Components().empty());
    EXPECT_EQ(dialog->PopupParent(), opener.get());
    // The opener's window takes the dialog's with it.
    opener.reset();
    EXPECT_EQ(dialog->PopupParent(), nullptr);
    EXPECT_FALSE(dialog->HandleAllocated());
    dialog.reset();

    TPlainForm keeper(nullptr);
    auto second = CreateForm<TfrmDialogTest>(&keeper);
    EXPECT_EQ(second->PopupParent(), &keeper);
    second.reset();
    EXPECT_TRUE(keeper.Components().empty());
    // Let go of its popup parent, a form's window stands on its own.
    auto third = CreateForm<TfrmDialogTest>(&keeper);
    third->SetPopupParent(nullptr);
    third->HandleNeeded();
    EXPECT_EQ(GetWindow(third->Handle(), GW_OWNER), nullptr);
}

TEST_F(FormTest, MainFormClosingEndsTheMessageLoopUnlessItsCloseQueryRefuses)
{
    auto form = Create();
    form->refusals = 1;
    Post(*form, WM_CLOSE);
    Post(*form, WM_CLOSE);
    Application().Run(*form);
    EXPECT_EQ(form->closeQueries, 2);
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(Application().MainForm(), nullptr);
}

TEST_F(FormTest, RunAskedToEndBeforeItStartsShowsNothingAndLeavesNoQuitBehind)
{
    auto form = Create();
    // A creation handler that fails asks the run to end before it starts.
    Application().Terminate();
    EXPECT_TRUE(Application().Terminated());
    Application().Run(*form);
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(Application().Terminated());

    // The next run is not ended by the quit request of the first.
    Post(*form, WM_CLOSE);
    Application().Run(*form);
    EXPECT_EQ(form->closeQueries, 1);
}

} // namespace
