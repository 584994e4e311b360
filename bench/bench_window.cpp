// Window figures, offscreen (QT_QPA_PLATFORM=offscreen): bench_window DOC.pass HALF.pass
//   startup        main window made and shown, events processed
//   open           the document read until the tree and its first group's entries are shown
//   select_group   a group of half the entries selected until its rows are shown (HALF.pass)
//   sort           those rows sorted by name
//   search_few     the search turned on over DOC for a text a few hundred entries hold, rows shown
//   search_all     the same for a text every entry holds (one result row per entry)
// Each figure is the median of 5 runs, printed as "name milliseconds" lines.
#include "BenchDocument.h"
#include "app/gui/commands/SearchCommand.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/gui/DocumentPipeline.h"
#include "platform/gui/ModalSeam.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

double timeMs(const std::function<void()>& step)
{
    QElapsedTimer t;
    t.start();
    step();
    return double(t.nsecsElapsed()) / 1e6;
}

// The document read into the window, the first group selected and shown.
void openInto(TfrmTresorin& main, const QString& path)
{
    main.doc().MetaPassword = QString::fromLatin1(benchdoc::kPassword);
    main.pipeline().LoadDocument(path, false);
    main.view()->flushGroupChange();
    settle();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_window DOC.pass HALF.pass\n");
        return 1;
    }
    constexpr int runs = 5;
    std::vector<double> startup, open, select, sort, searchFew, searchAll;
    // The search text comes from the input box, answered through the seam.
    ModalSeam::activate();
    for (int i = 0; i < runs; ++i) {
        std::unique_ptr<TfrmTresorin> main;
        startup.push_back(timeMs([&main] {
            main = std::make_unique<TfrmTresorin>();
            main->show();
            settle();
        }));
        open.push_back(timeMs([&] { openInto(*main, args[0]); }));
        if (main->doc().entryCount() == 0) {
            std::fprintf(stderr, "bench_window: %s was not read\n", qPrintable(args[0]));
            return 1;
        }

        openInto(*main, args[1]);
        DocumentView* view = main->view();
        TGroupe* half = main->doc().Groups().front().get();
        TGroupe* other = main->doc().Groups().back().get();
        view->selectGroup(other);
        view->flushGroupChange();
        settle();
        select.push_back(timeMs([&] {
            view->selectGroup(half);
            view->flushGroupChange();
            settle();
        }));
        sort.push_back(timeMs([&] {
            view->columnClick(view->sortCode() == 1 ? 2 : 1);
            settle();
        }));

        openInto(*main, args[0]);
        QAction* searchAction = main->findChild<QAction*>(QStringLiteral("ActionChercher"));
        if (!searchAction) {
            std::fprintf(stderr, "bench_window: no search command\n");
            return 1;
        }
        for (auto [text, figure] :
             {std::pair{QStringLiteral("abc"), &searchFew}, std::pair{QStringLiteral("example.org"), &searchAll}}) {
            // Opened through the pipeline, not the Open command, which would enable it.
            searchAction->setEnabled(true);
            ModalSeam::pushAnswer(text);
            figure->push_back(timeMs([&] {
                searchAction->trigger();
                settle();
            }));
            if (!view->searchViewActive()) {
                std::fprintf(stderr, "bench_window: the search did not turn on\n");
                return 1;
            }
            searchAction->trigger(); // off again
            settle();
        }
        main->doc().SetModified(false);
    }
    std::printf("startup %.2f\nopen %.2f\nselect_group %.2f\nsort %.2f\nsearch_few %.2f\nsearch_all %.2f\n",
                median(startup), median(open), median(select), median(sort), median(searchFew), median(searchAll));
    return 0;
}
