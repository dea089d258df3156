#include "platform/classlib/object.h"

TObject::~TObject() = default;
