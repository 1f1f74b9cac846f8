// The root of the program's components and forms: the sender of every event.
#pragma once

struct TObject {
  virtual ~TObject() = default;
};
