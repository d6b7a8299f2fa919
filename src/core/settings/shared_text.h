// SPDX-License-Identifier: GPL-3.0-or-later
// A text setting shared between threads: the GUI thread writes it, the comm thread
// and the recorder read it. Copies are taken under a lock.
#pragma once

#include <mutex>
#include <string>
#include <utility>

class SharedText {
 public:
  SharedText() = default;
  explicit SharedText(std::string text) : text_(std::move(text)) {}
  SharedText(const SharedText& other) : text_(other.get()) {}
  SharedText& operator=(const SharedText& other) {
    if (this != &other) set(other.get());
    return *this;
  }
  SharedText& operator=(std::string text) {
    set(std::move(text));
    return *this;
  }

  std::string get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void set(std::string text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};
