// The controls of one page of a tabbed window: every control a page declares
// is registered with its form after the page's first index, so the window can
// show and hide a page as one.
#pragma once

#include <cstddef>

#include "ui/form.h"

namespace platform {

class Page {
 public:
  explicit Page(Form& form) : form_(form), first_(form.Controls().size()) {}
  std::size_t FirstControl() const { return first_; }

 protected:
  Form& form_;

 private:
  std::size_t first_;
};

}  // namespace platform
