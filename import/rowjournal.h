// What the row being imported added to the run's memory (the indexes of the target's names, the
// caches of paths), so that it can be taken out again when the row is undone: the database
// forgets a row rolled back to its savepoint, and nothing may find what it made after that.
//
// The target recordsets lose the rows an undone row added with its savepoint (the data layer
// takes them out); the run never gives an id twice, so an id undone is not met again.
#pragma once
#include <functional>
#include <utility>
#include <vector>

class RowJournal {
public:
    // How to take one addition out again.
    void Add(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
    // The row stays: its additions with it.
    void Keep() { undo_.clear(); }
    // The row was undone: its additions are taken out, the last first.
    void Undo()
    {
        for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
            (*it)();
        undo_.clear();
    }

private:
    std::vector<std::function<void()>> undo_;
};
