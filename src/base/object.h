// The common base of the program's components and forms: an event's sender is a TObject*.
#pragma once

struct TObject {
  virtual ~TObject() = default;
};
