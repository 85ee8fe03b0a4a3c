#include "shell/error_journal.h"

#include "engine/error.h"

namespace brenquil {

void ErrorJournal::Add(JournalEntry entry) {
  // One cause, one line: a damaged or read-only file refuses every change of
  // the step that met it, and the refusal is journaled once.
  if (!entries_.empty()) {
    const JournalEntry& last = entries_.back();
    if (last.operation == entry.operation && last.model == entry.model && last.old == entry.old &&
        last.number == entry.number && last.text == entry.text)
      return;
  }
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
