// result_tree_probe [--entries N] [--runs R]:
// the collection window's result tree of N entries (default 200,000: 60% matched, 30%
// missing, 10% unrecognized) shown offscreen. Times, as the median of R runs (default 5):
// the order worked out on the scan's worker (sorting and folding the texts), the model set
// and the first paint with the roots collapsed, the same with every root expanded, the
// slowest of 40 scroll steps (each painted), and a search narrowing the tree. Goal: model
// set + first paint within 0.5 s.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_names.h"
#include "result_model.h"

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

lists::ResultTree make_tree(std::size_t entries) {
    lists::ResultTree tree;
    tree.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        // Scattered names, so that the sort does real work.
        const std::size_t n = benchdata::entry_crc(i) % 1000000;
        const auto root = i % 10 < 6   ? lists::ResultTree::kMatched
                          : i % 10 < 9 ? lists::ResultTree::kMissing
                                       : lists::ResultTree::kUnrecognized;
        std::string name = benchdata::entry_name(n);
        if (root == lists::ResultTree::kUnrecognized)
            name = "/home/user/roms/unsorted/" + name + ".bin";
        tree.add_unique(root, "id_" + name, name);
    }
    tree.keep_sorted();
    return tree;
}

double ms_since(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Figures {
    std::vector<double> order, collapsed, expanded, scroll, search;
};

void one_run(const lists::ResultTree& tree, Figures& f) {
    QElapsedTimer timer;
    timer.start();
    auto order = lists::order_of(tree);
    f.order.push_back(ms_since(timer));

    lists::ResultModel model;
    QTreeView view;
    view.setHeaderHidden(true);
    view.setUniformRowHeights(true);
    view.resize(640, 400);
    view.setModel(&model);
    view.show();
    QApplication::processEvents();

    timer.restart();
    model.set_tree(&tree, order);
    view.viewport()->repaint();
    f.collapsed.push_back(ms_since(timer));

    model.set_tree(nullptr, {});
    QApplication::processEvents();
    timer.restart();
    model.set_tree(&tree, std::move(order));
    view.expandAll();
    view.viewport()->repaint();
    f.expanded.push_back(ms_since(timer));

    double slowest = 0;
    auto* bar = view.verticalScrollBar();
    for (int step = 1; step <= 40; ++step) {
        timer.restart();
        bar->setValue(bar->maximum() / 40 * step);
        view.viewport()->repaint();
        slowest = std::max(slowest, ms_since(timer));
    }
    f.scroll.push_back(slowest);

    timer.restart();
    model.set_search(QStringLiteral("number 0123"));
    view.expandAll();
    view.viewport()->repaint();
    f.search.push_back(ms_since(timer));
}

} // namespace

int main(int argc, char** argv) {
    std::size_t entries = 200000;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--entries") == 0)
            entries = std::stoul(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::stoi(argv[i + 1]);
    }
    QApplication app(argc, argv);
    const auto tree = make_tree(entries);
    Figures f;
    for (int run = 0; run < runs; ++run)
        one_run(tree, f);
    std::printf("result tree of %zu entries, median of %d runs (ms)\n", entries, runs);
    std::printf("  order on the worker (sort + fold):      %8.1f\n", median(f.order));
    std::printf("  model set + first paint, collapsed:     %8.1f\n", median(f.collapsed));
    std::printf("  model set + expand all + first paint:   %8.1f\n", median(f.expanded));
    std::printf("  slowest of 40 scroll steps (painted):   %8.1f\n", median(f.scroll));
    std::printf("  search + expand + paint:                %8.1f\n", median(f.search));
    return 0;
}
