// What the test component's factory returns.
#pragma once

struct TestWidget {
  int answer;
};
