// What the three main windows have alike: the start-up from the program's folder and command line,
// the window position in twips, Esc and F5 wherever the focus is, the start, preview, end, Explorer
// and refresh buttons, the help menu, the end button's save, a run that holds the window, and the
// preview of a run in a list window from which the run starts.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "toolkit/gui/Preview.h"
#include "toolkit/settings/Settings.h"
#include "toolkit/run/Run.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QListWidget;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QPushButton;

namespace gui {

class FilterFrame;
class PathBox;
class ListWindow;

// What a window starts from: the folder of the program (its settings file and readme live there),
// the name its files are named after, the whole text of the command line when arguments were given,
// and what shows its messages and a run's progress (message boxes and the progress dialog, or a
// test's recorders). Messages and Progress must outlive the window.
struct StartInfo {
  std::u16string ProgramFolder;
  std::optional<std::u16string> CommandLine;
  std::u16string ProgramName;
  MessageSink* Messages = nullptr;
  ProgressView* Progress = nullptr;
};

// The folder the command line names (a folder, a file in it, or a shortcut to either), relative to
// the program's folder: its nearest existing folder, unless that is only a root (then the missing
// path itself); empty when the text is no path.
std::u16string CommandLineTarget(const std::u16string& program_folder, const std::u16string& command_line);

class MainWindowBase : public QMainWindow {
  Q_OBJECT

 public:
  ~MainWindowBase() override;

  // While true, choices and check-box clicks do nothing: the program is filling controls, or a key
  // is held in a list that steps through its entries.
  bool InternalAccess = false;

  // The controls every window has, by their names; a group takes its index.
  QLineEdit* txtPath(int index) const;  // nullptr where the window has no such box
  QGroupBox* frmSelect() const;
  QCheckBox* chkExt(int index) const;
  QLineEdit* txtExt(int index) const;
  QListWidget* lstFiles() const;
  QPushButton* cmdGo() const { return cmdGo_; }
  QPushButton* cmdPreview() const { return cmdPreview_; }
  QPushButton* cmdEnd() const { return cmdEnd_; }
  QPushButton* cmdExp() const { return cmdExp_; }
  QPushButton* cmdRefresh() const { return cmdRefresh_; }
  QMenu* mnuHelp() const { return mnuHelp_; }
  QAction* menuHelpReadMe() const { return menuHelpReadMe_; }
  // The list window of the last preview while it is open, else nullptr.
  ListWindow* PreviewList() const { return preview_; }

  // Hourglass and a disabled window for work that lets pending events through; afterwards the
  // window gets back its enabled state, the pointer and the focus it had.
  class Busy {
   public:
    explicit Busy(MainWindowBase& window);
    ~Busy();
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    MainWindowBase& window_;
    bool enabled_;
    QPointer<QWidget> focus_;
  };

  // A text box whose whole text is selected when it gets the focus, and by Ctrl+A.
  void WatchTextBox(QLineEdit* box);
  // A list whose choice acts, by the mouse or by Enter, while stepping through it with the keys
  // does not.
  void WatchChoiceList(QComboBox* list, std::function<void()> choose);
  // Whether the focus leaving a control is the user's move inside the window: not the program's
  // own while busy, not a switch to another program or into a menu.
  bool UserFocusOut(QEvent* event) const;
  bool IsBusy() const { return busy_ != 0; }

  // The window's services, and what a run started from it is handed.
  MessageSink& Messages() const { return messages_; }
  RunContext Context() { return ContextWith(messages_); }
  // The same, its messages going to `messages` instead.
  RunContext ContextWith(MessageSink& messages) { return {files_, progress_, messages, current_folder_}; }
  // The program's folder as the file system spells it.
  const std::u16string& ProgramFolder() const { return program_folder_; }
  // The name the program's own files are named after.
  const std::u16string& ProgramName() const { return program_name_; }
  // The folder a relative path typed into a box is taken from: the last folder whose files were
  // listed, at first the program's folder.
  const std::u16string& CurrentFolder() const { return current_folder_; }
  void SetCurrentFolder(const std::u16string& folder) { current_folder_ = folder; }

 protected:
  // `explorer_tip` is the Explorer button's tooltip.
  MainWindowBase(const StartInfo& start, const QString& title, const QString& explorer_tip, QWidget* parent = nullptr);

  // The parts of each window: its path boxes by index (nullptr where there is none; 1 is the
  // target folder), its filter frame.
  virtual PathBox* PathBoxAt(int index) const = 0;
  virtual FilterFrame& Frame() const = 0;
  // F5, the refresh button and the end of a run.
  virtual void RefreshAll() = 0;
  // The window's half of the settings: its controls from and to the table (the window position is
  // the base's). ShowSettings runs with InternalAccess set.
  virtual void ShowSettings(const settings::SettingsTable& table) = 0;
  virtual void StoreSettings(settings::SettingsTable& table) const = 0;
  // After the settings are shown, with InternalAccess cleared.
  virtual void AfterShowingSettings() {}
  // After the settings are in the window, before the command line: what else the program loads.
  virtual void AfterSettings() {}
  // What the end button writes; false when something could not be written (after its message).
  virtual bool SaveFiles();
  // The run the start button makes, bound to the options the window holds now, so that the run a
  // preview showed can be made later as it was shown. Given a plan, the run is that plan's dry run
  // (Plan::Follow, and its failures added); without one, the real run.
  using BoundRun = std::function<RunResult(const RunContext& context, Plan* plan)>;
  virtual BoundRun BindRun() = 0;
  // The BoundRun of a program's Run with these options and the window's hooks; `more` adds the
  // program's own hooks (told the plan of a dry run, else nullptr).
  template <class Options, class Hooks>
  BoundRun Bind(RunResult (*run)(const RunContext&, const Options&, const Hooks&), Options options,
                std::type_identity_t<std::function<void(Hooks&, Plan*)>> more = {}) {
    return [this, run, options = std::move(options), more](const RunContext& context, Plan* plan) {
      Options run_options = options;
      Hooks hooks;
      static_cast<RunHooks&>(hooks) = WindowRunHooks();
      if (more) more(hooks, plan);
      if (plan != nullptr) plan->Follow(run_options, hooks);
      const RunResult result = run(context, run_options, hooks);
      if (plan != nullptr) plan->Finish(result.Failures);
      return result;
    };
  }

  // The start-up: the program's folder, the settings, the command line's target, the lists.
  void Load(const StartInfo& start, settings::SettingsTable defaults);
  settings::SettingsFile& Settings() { return settings_; }
  void ApplySettings();
  void CollectSettings(settings::SettingsTable& table) const;
  // The hooks a run of this window goes with: the boxes coloured, the window held, the lists
  // refreshed when the work is done.
  RunHooks WindowRunHooks();
  bool Running() const { return running_; }

  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class KeyPreview;
  struct ChoiceList {
    QComboBox* list;
    std::function<void()> choose;
  };

  bool PreviewKey(QKeyEvent* event);
  void OnExplorer();
  void OnReadMe();
  // The path opened by the shell, or a message naming it when nothing could open it.
  void OpenWithShell(const std::u16string& path, const std::u16string& title);
  void OnEnd();
  // The run as a dry run, and what it would do in the list window.
  void OnPreview();
  // The list window's start: the dry run made again, and the real run only when it would do what
  // the list shows; else the list shows what it would do now.
  void OnStartPreviewed();

  std::u16string program_folder_;
  std::u16string program_name_;
  std::u16string current_folder_;
  MessageSink& messages_;
  RunProgress progress_;
  FileFilter files_;  // the file list builder of the runs
  settings::SettingsFile settings_;
  QPushButton* cmdGo_ = nullptr;
  QPushButton* cmdPreview_ = nullptr;
  QPushButton* cmdEnd_ = nullptr;
  QPushButton* cmdExp_ = nullptr;
  QPushButton* cmdRefresh_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QAction* menuHelpReadMe_ = nullptr;
  std::vector<QLineEdit*> text_boxes_;
  std::vector<ChoiceList> choice_lists_;
  std::unique_ptr<KeyPreview> key_preview_;
  std::unique_ptr<Busy> run_busy_;  // the hourglass of a run, from its start to its result
  int busy_ = 0;                    // focus changes while busy are the program's own
  bool running_ = false;
  QPointer<ListWindow> preview_;
  BoundRun preview_run_;  // the run the list window shows
  Plan preview_plan_;     // what it showed
  std::map<std::u16string, bool> preview_answers_;  // the questions its dry run asked, answered
};

}  // namespace gui
