#include "shell/error_journal.h"

namespace brenquil {

void ErrorJournal::Add(JournalEntry entry) {
  entries_.push_back(std::move(entry));
  for (auto& o : observers_) o(entries_.back());
}

void ErrorJournal::Clear() { entries_.clear(); }

std::string FormatEntry(const JournalEntry& entry) {
  std::string line = entry.operation;
  if (!entry.model.empty() || !entry.old.empty())
    line += " [" + entry.model + " → " + entry.old + "]";
  line += ": " + std::to_string(entry.number) + " " + entry.text;
  return line;
}

}  // namespace brenquil
