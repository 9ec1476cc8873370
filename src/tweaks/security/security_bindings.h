// The security page's sixteen boxes as data: the table in load order, the
// keyboard order, and where each box sits in the page's group box.
#pragma once

#include <span>
#include <string_view>

#include "tweaks/tweak_binding.h"
#include "ui/twips.h"

namespace tweaks {

std::span<const platform::TweakBinding> SecurityBindings();
std::span<const wchar_t* const> SecurityTabOrder();
// The place of a box relative to the group box's top left corner.
platform::TwipsRect SecurityBoxPlace(std::wstring_view control);

}  // namespace tweaks
