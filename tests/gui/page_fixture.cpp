#include "tests/gui/page_fixture.h"

#include <utility>

#include "platform/ui/transcript.h"
#include "tests/gui/gui_application.h"

namespace zvrx::test {

namespace ui = platform::ui;

namespace {

constexpr int kQuestionField = 1061;  // the one text field of the save question

}  // namespace

::testing::AssertionResult LoadGuiResources(SettingsResources& resources) {
  GuiApplication();
  std::string error;
  if (!LoadSettingsResources(kSettingsResourceFolder, resources, &error)) {
    return ::testing::AssertionFailure() << "settings resources: " << error;
  }
  return ::testing::AssertionSuccess();
}

void PageFixture::SetUp() {
  ASSERT_TRUE(LoadGuiResources(resources_));
  ui::SetModalObserver([this](ui::Dialog& dialog) {
    modals_.push_back(dialog.TemplateId());
    if (dialog.TemplateId() == kDialogOkNoCancelId) {
      questions_.push_back(dialog.GetItemText(kQuestionField));
    }
    if (on_modal_) on_modal_(dialog);
  });
}

void PageFixture::TearDown() {
  page_.reset();
  frame_.reset();
  ui::SetModalObserver(nullptr);
  ui::SetScriptedAnswers({});
}

ui::Frame& PageFixture::MakeFrame(const char* window_class, const std::string& title, int width,
                                  int height) {
  ui::FrameParams params;
  params.window_class = window_class;
  params.title = title;
  params.menu = ui::FindMenu(resources_.menus, kPageMenuId);
  params.width = width;
  params.height = height;
  frame_ = ui::CreateFrame(params, frame_events_);
  return *frame_;
}

ui::Dialog& PageFixture::CreatePage(std::unique_ptr<Page> page) {
  page_ = std::move(page);
  page_->Create(*frame_);
  EXPECT_NE(page_->dialog(), nullptr);
  return *page_->dialog();
}

bool PageFixture::CloseAnswering(std::vector<std::string> answers) {
  ui::SetScriptedAnswers(std::move(answers));
  return page_->RequestClose();
}

std::string PageFixture::LastQuestion() const {
  return questions_.empty() ? std::string() : questions_.back();
}

}  // namespace zvrx::test
