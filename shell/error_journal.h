// The run's error journal: every error that an operation skips, or that ends
// a step, with the operation, the pair of databases and the error. The core
// writes it and never prints; the front ends show it. Owned by the window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/error.h"

namespace brenquil {

struct JournalEntry {
  std::string operation;  // "Command16_Click"
  std::string model;      // Text3 when the error came
  std::string old;        // Text4 when the error came
  int number = 0;
  std::string text;
};

class ErrorJournal {
 public:
  void Add(JournalEntry entry);
  void Clear();
  const std::vector<JournalEntry>& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }
  void Subscribe(std::function<void(const JournalEntry&)> observer) {
    observers_.push_back(std::move(observer));
  }

 private:
  std::vector<JournalEntry> entries_;
  std::vector<std::function<void(const JournalEntry&)>> observers_;
};

// One line for people: "Command16_Click [modelo → vieja]: 3022 texto".
std::string FormatEntry(const JournalEntry& entry);

}  // namespace brenquil
