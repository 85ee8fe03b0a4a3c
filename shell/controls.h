// The window's controls as plain objects: lists, text boxes, labels, bars,
// frames, buttons, the drive and folder lists, and control arrays. They hold
// what the window shows; a front end mirrors them and is told of each change.
// Owned by their window.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/error.h"

namespace brenquil {

// Change notification shared by every control: observers run after each change.
class Control {
 public:
  using Observer = std::function<void()>;
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  void Subscribe(Observer observer) { observers_.push_back(std::move(observer)); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; Notify(); }

 protected:
  void Notify() {
    for (auto& o : observers_) o();
  }

 private:
  std::vector<Observer> observers_;
  bool visible_ = true;
};

// A list box: entries in append order, one selected entry or none.
class ListBox : public Control {
 public:
  void AddItem(const std::string& text);
  void Clear();
  // Error 5 for a position outside the list.
  void RemoveItem(int index);
  // Every entry is counted: a list of more than 32,767 entries (the original
  // control's 16-bit count) is walked whole, never as a negative count.
  int ListCount() const { return static_cast<int>(items_.size()); }
  int ListIndex() const { return index_; }
  // Selects an entry; -1 selects none; Error 381 outside the list.
  void SetListIndex(int index);
  // The selected entry's text, empty when nothing is selected.
  std::string Text() const;
  const std::string& List(int index) const;  // Error 381 outside the list
  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
  int index_ = -1;
};

class TextBox : public Control {
 public:
  TextBox() = default;
  explicit TextBox(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);

 private:
  std::string text_;
};

class Label : public Control {
 public:
  Label() = default;
  explicit Label(std::string caption) : caption_(std::move(caption)) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

 private:
  std::string caption_;
};

// A frame: a caption around other controls. Refresh asks the front end to
// redraw it at once (the bars during a long run).
class Frame : public Control {
 public:
  Frame() = default;
  explicit Frame(std::string caption) : caption_(std::move(caption)) {}
  const std::string& Caption() const { return caption_; }
  void Refresh() { ++refreshes_; Notify(); }
  long Refreshes() const { return refreshes_; }

 private:
  std::string caption_;
  long refreshes_ = 0;
};

// A progress bar: single-precision value and maximum, minimum 0. A maximum
// below the current value is accepted (the value is shown clipped).
class ProgressBar : public Control {
 public:
  float Value() const { return value_; }
  float Max() const { return max_; }
  void SetValue(float value);  // Error 380 below 0
  void SetMax(float max);

 private:
  float value_ = 0;
  float max_ = 100;
};

class CommandButton : public Control {
 public:
  CommandButton(std::string caption, std::string operation)
      : caption_(std::move(caption)), operation_(std::move(operation)) {}
  const std::string& Caption() const { return caption_; }
  // The window operation the button runs ("Command13_Click").
  const std::string& Operation() const { return operation_; }

 private:
  std::string caption_;
  std::string operation_;
};

// The drive list: on POSIX one drive, the root "/".
class DriveList : public Control {
 public:
  const std::string& Drive() const { return drive_; }
  void SetDrive(const std::string& drive);
  std::vector<std::string> Drives() const;

 private:
  std::string drive_ = "/";
};

// The folder list. Setting Path checks the folder (Error 76 when it is not
// one), redisplays and raises the change event.
class DirList : public Control {
 public:
  const std::string& Path() const { return path_; }
  void SetPath(const std::string& path);
  void OnChange(std::function<void()> handler) { change_ = std::move(handler); }
  // Sub-folders of Path, sorted, hidden ones left out.
  std::vector<std::string> SubFolders() const;

 private:
  std::string path_;
  std::function<void()> change_;
};

// Controls sharing one name, addressed by element number; elements not
// listed at construction do not exist (Error 340).
template <class T>
class ControlArray {
 public:
  template <class... Args>
  void Add(int index, Args&&... args) {
    elements_.try_emplace(index, std::forward<Args>(args)...);
  }
  T& operator[](int index) {
    auto it = elements_.find(index);
    if (it == elements_.end())
      throw MakeError(err::kNoSuchControl, "elemento " + std::to_string(index));
    return it->second;
  }
  bool Has(int index) const { return elements_.count(index) != 0; }
  std::vector<int> Indices() const {
    std::vector<int> out;
    for (auto& [k, v] : elements_) out.push_back(k);
    return out;
  }

 private:
  std::map<int, T> elements_;
};

}  // namespace brenquil
