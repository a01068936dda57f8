// Times the desktop program's own dialogs on one archive, offscreen: the
// analysis of the archive into the preview's list (from the preview's first
// showing to the last row listed and the analysis dialog gone), and Save All
// through the saving dialog (from its start to the completion dialog).
//   kvzip_gui_bench DATA_FOLDER ARCHIVE RUNS
// Prints one line per measurement, wall-clock and processor seconds (all
// threads): "preview WALL CPU ROWS", "saving WALL CPU".
#include "log/activity_log.h"
#include "log/gui/view_log_dialog.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "res/resource_ids.h"
#include "workflow/gui/file_save_dialog.h"
#include "workflow/gui/preview_dialog.h"
#include "workflow/repair_state.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Processor seconds of the whole process so far, every thread counted.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs events until `done`; false after ten minutes.
template <class Done> bool Serve(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 600000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

bool TimePreview(const std::wstring& archive) {
    FreeSourceFiles();
    AppendSourceFile(archive);
    g_sourceFileCount = 1;
    g_skipPreview = 0;
    QElapsedTimer clock;
    CPreview preview;
    preview.CreateFromTemplate();
    const double cpu = CpuSeconds();
    clock.start();
    preview.show();
    QWidget* back = preview.GetDlgItem(res::IDC_BACK);
    const bool done = Serve([&] {
        return g_runAnalysisOnPaint == 0 && !g_analysisThread.IsRunning() && back->isEnabled();
    });
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpuSeconds = CpuSeconds() - cpu;
    if (!done)
        return false;
    std::printf("preview %.3f %.3f %d\n", seconds, cpuSeconds, preview.EntryRowCount());
    std::fflush(stdout);
    g_analysisThread.Join();
    g_reapAnalysisThread = 0;
    g_closeAnalysisDlg = 0;
    return true;
}

bool TimeSaving(const std::wstring& archive) {
    FreeSourceFiles();
    AppendSourceFile(archive);
    g_sourceFileCount = 1;
    QTemporaryDir destination;
    g_saveAllFolder = destination.path().toStdWString();
    g_saveCurrentOnly = 0;
    QElapsedTimer clock;
    double seconds = -1;
    double cpu = 0;
    double cpuSeconds = 0;
    // The completion ends the timing; its OK would end the process, which
    // the hook below turns into the end of the saving dialog.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* completion = dynamic_cast<CViewLog*>(QApplication::activeModalWidget())) {
            if (seconds < 0) {
                seconds = clock.nsecsElapsed() / 1e9;
                cpuSeconds = CpuSeconds() - cpu;
            }
            completion->GetDlgItemAs<QPushButton>(res::IDC_VIEW_LOG_OK)->click();
        }
    });
    watch.start(2);
    CFileSave saving;
    cpu = CpuSeconds();
    clock.start();
    saving.DoModal();
    if (seconds < 0)
        return false;
    std::printf("saving %.3f %.3f\n", seconds, cpuSeconds);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: kvzip_gui_bench DATA_FOLDER ARCHIVE RUNS\n");
        return 2;
    }
    g_appTitle = L"Kelvane for Zip";
    g_appFolder = QString::fromLocal8Bit(argv[1]).toStdWString();
    const std::wstring archive = QString::fromLocal8Bit(argv[2]).toStdWString();
    const int runs = std::atoi(argv[3]);
    QTemporaryDir logFolder;
    SetActivityLogFile(logFolder.filePath(QStringLiteral("Activity Log.txt")).toStdWString());
    // Nothing is asked and nothing ends the process while measuring.
    platform::SetMessageBoxHandler(
        [](void*, const std::wstring& text, const std::wstring&, unsigned) {
            std::fprintf(stderr, "kvzip_gui_bench: asked \"%ls\"\n", text.c_str());
            return platform::IDNO;
        });
    platform::SetEndProcessHook([](int) {});

    for (int run = 0; run < runs; ++run)
        if (!TimePreview(archive) || !TimeSaving(archive)) {
            std::fprintf(stderr, "kvzip_gui_bench: a dialog did not finish\n");
            return 1;
        }
    return 0;
}
