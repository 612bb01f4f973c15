#include "engine/UiHandOff.h"

UiHandOff::~UiHandOff() = default;
