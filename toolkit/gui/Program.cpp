#include "toolkit/gui/Program.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/gui/QtMessages.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/gui/ProgressDialog.h"
#include "toolkit/platform/console.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

namespace gui {

bool LoadQtTranslations(const QString& program_folder) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  const QString here = QDir::fromNativeSeparators(program_folder);
  for (const QString& folder : {here + QStringLiteral("/translations"), here,
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
    if (translator->load(QStringLiteral("qtbase_ja"), folder)) return QCoreApplication::installTranslator(translator);
  }
  delete translator;
  return false;
}

int RunProgram(int argc, char** argv, const WindowMaker& make_window) {
  // The arguments as the user gave them, before Qt takes its own options out of argv: what is left
  // there afterwards is found by the place each came from.
  const std::vector<char*> given(argv, argv + argc);
  const std::vector<std::u16string> texts = platform::ProgramArguments(argc, argv);
  QApplication app(argc, argv);
  InstallDesktopOpener();
  (void)LoadQtTranslations(ToQt(platform::ExecutableFolder()));

  QtMessages messages;
  // The progress dialog is a window of its own: a child of the main window would be disabled with it.
  ProgressDialog progress;

  StartInfo start;
  start.ProgramFolder = platform::ExecutableFolder();
  start.ProgramName = platform::ExecutableName();
  start.Messages = &messages;
  start.Progress = &progress;
  if (argc > 1) {
    // The whole argument text: a path with blanks may come split into several arguments.
    std::u16string line;
    for (int i = 1; i < argc; ++i) {
      if (i > 1) line += u' ';
      const auto at = std::find(given.begin(), given.end(), argv[i]);
      line += at != given.end() && std::size_t(at - given.begin()) < texts.size() ? texts[at - given.begin()]
                                                                                  : text::DecodeUtf8(argv[i]);
    }
    start.CommandLine = line;
  }

  const std::unique_ptr<QWidget> window = make_window(start);
  messages.SetParent(window.get());
  window->show();
  return QApplication::exec();
}

}  // namespace gui
