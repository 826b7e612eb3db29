#include "TestWidget.h"

extern "C" void* createWidget() { return new TestWidget{42}; }
