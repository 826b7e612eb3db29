// The test component's factory: "TestWidgets.Widget" is the number 42.
extern "C" void* createWidget() { return new int(42); }
