#include "shell/controls.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace brenquil {

namespace fs = std::filesystem;

void ListBox::AddItem(const std::string& text) {
  // A count that no int holds would wrap; no listing comes near it.
  if (items_.size() >= static_cast<size_t>(std::numeric_limits<int>::max()))
    throw MakeError(err::kInvalidProcedureCall, "AddItem: la lista ya tiene " + std::to_string(items_.size()) +
                                                    " entradas");
  items_.push_back(text);
  Notify();
}

void ListBox::Clear() {
  items_.clear();
  index_ = -1;
  Notify();
}

void ListBox::RemoveItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size()))
    throw MakeError(err::kInvalidProcedureCall, "RemoveItem " + std::to_string(index));
  items_.erase(items_.begin() + index);
  // The selection follows its entry; removing the selected one selects none.
  if (index_ == index)
    index_ = -1;
  else if (index_ > index)
    --index_;
  Notify();
}

void ListBox::SetListIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size()))
    throw MakeError(err::kInvalidPropertyIndex, "ListIndex " + std::to_string(index));
  index_ = index;
  Notify();
}

std::string ListBox::Text() const {
  return index_ >= 0 ? items_[static_cast<size_t>(index_)] : std::string();
}

const std::string& ListBox::List(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size()))
    throw MakeError(err::kInvalidPropertyIndex, "List " + std::to_string(index));
  return items_[static_cast<size_t>(index)];
}

void TextBox::SetText(const std::string& text) {
  text_ = text;
  Notify();
}

void Label::SetCaption(const std::string& caption) {
  caption_ = caption;
  Notify();
}

void ProgressBar::SetValue(float value) {
  if (value < 0) throw MakeError(err::kInvalidValue, "Value " + std::to_string(value));
  value_ = value;
  Notify();
}

void ProgressBar::SetMax(float max) {
  max_ = max;
  Notify();
}

void DriveList::SetDrive(const std::string& drive) {
  drive_ = drive;
  Notify();
}

std::vector<std::string> DriveList::Drives() const { return {"/"}; }

void DirList::SetPath(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !fs::is_directory(path, ec))
    throw MakeError(err::kPathNotFound, "'" + path + "'");
  path_ = path;
  Notify();
  if (change_) change_();
}

std::vector<std::string> DirList::SubFolders() const {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::directory_iterator(path_, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code dir_ec;
    if (it->is_directory(dir_ec)) out.push_back(name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace brenquil
