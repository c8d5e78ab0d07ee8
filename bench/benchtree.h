#pragma once
// The generated folder tree the benchmarks read: categories of document folders, each folder
// managed (a Chinese description with a line break) and holding a schedule that is not yet due.
#include <QString>
#include <QStringList>

struct BenchTree
{
    QString root;
    int categories = 0;
    int foldersPerCategory = 0;
    bool due = false; // every schedule's stored trigger lies 1 to 200 days back
    int Rows() const { return categories * foldersPerCategory; }
};

// Lays the tree out under root (which must exist and be empty). False when a write fails.
bool BuildBenchTree(const BenchTree& tree);
// Writes every folder's schedule file again as BuildBenchTree wrote it (due ones due again), in
// place, under root (the tree's own folder, not a mount of it). False when a write fails.
bool RewriteBenchSchedules(const BenchTree& tree, const QString& root);
