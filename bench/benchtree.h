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
    int Rows() const { return categories * foldersPerCategory; }
};

// Lays the tree out under root (which must exist and be empty). False when a write fails.
bool BuildBenchTree(const BenchTree& tree);
