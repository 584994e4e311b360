// The document view with 60,000 entries, offscreen (QT_QPA_PLATFORM=offscreen): bench_view
//   view_fill     a group of 50,000 entries selected, sorted by name and painted
//   view_resort   the same rows sorted the other way and painted
//   view_select   2,000 selection moves far down the document's order (each move checks that the
//                 row's entry is still in the document)
// Each figure is the median of 5 runs, printed as "name milliseconds" lines. The view test checks
// what these steps show; this program only times them.
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/window/Commands.h"
#include "document/DocumentModel.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kEntries = 60000;
constexpr int kSteps = 2000;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeMs(const std::function<void()>& step)
{
    QElapsedTimer t;
    t.start();
    step();
    return double(t.nsecsElapsed()) / 1e6;
}

// Every sixth entry in "Other", the rest in "Big"; names out of order so that sorting has work.
void fill(DocumentState& doc, TGroupe*& big)
{
    big = doc.addGroup(QStringLiteral("Big"));
    TGroupe* other = doc.addGroup(QStringLiteral("Other"));
    for (int i = 0; i < kEntries; ++i) {
        auto e = NewEntry(i % 6 == 5 ? other : big, QStringLiteral("Entry %1").arg((i * 7919) % kEntries));
        e->Login = QStringLiteral("user%1").arg(i);
        e->Password = QStringLiteral("pw%1").arg(i);
        e->WebAddress = QStringLiteral("https://site%1.example").arg(i % 97);
        doc.appendEntry(std::move(e));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    constexpr int runs = 5;
    std::vector<double> fillMs, resortMs, selectMs;
    for (int run = 0; run < runs; ++run) {
        // The window's commands, as the view finds them there; passwords hidden.
        QWidget commandOwner;
        Commands commands(&commandOwner);
        commands[CommandId::HidePwd]->setChecked(true);
        commands[CommandId::HidePwd]->setEnabled(true);
        DocumentState doc;
        DocumentView view;
        view.entryModel()->setCollatorLocale(QLocale(QLocale::French, QLocale::France));
        view.setCommands(&commands);
        view.setDocument(&doc);
        view.resize(760, 420);
        view.show();
        QCoreApplication::processEvents();

        TGroupe* big = nullptr;
        view.documentAboutToReload();
        fill(doc, big);
        view.documentReloaded();
        view.columnClick(1);

        fillMs.push_back(timeMs([&] {
            view.selectGroup(big);
            view.flushGroupChange();
            view.liste()->viewport()->repaint();
        }));
        const EntryListModel* model = view.entryModel();
        if (model->count() != kEntries - kEntries / 6) {
            std::fprintf(stderr, "bench_view: %d rows shown instead of %d\n", model->count(), kEntries - kEntries / 6);
            return 1;
        }
        resortMs.push_back(timeMs([&] {
            view.columnClick(1);
            view.liste()->viewport()->repaint();
        }));
        selectMs.push_back(timeMs([&] {
            for (int i = 0; i < kSteps; ++i)
                view.selectRow(model->count() - 1 - i);
        }));
        if (view.selectedEntry() != model->entryAt(model->count() - kSteps)) {
            std::fprintf(stderr, "bench_view: the selection did not follow\n");
            return 1;
        }
    }
    std::printf("view_fill %.2f\nview_resort %.2f\nview_select %.2f\n", median(fillMs), median(resortMs),
                median(selectMs));
    return 0;
}
