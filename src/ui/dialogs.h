// The tray menu's two settings commands: each dialog exists at most once. The first command
// creates it (filled from the controller) and shows it; a further one brings the same window
// forward without filling it again; closing it frees it and clears the reference.
#pragma once
#include <memory>

#include "ui/form2.h"
#include "ui/form3.h"

void ShowSettingsDialog(std::unique_ptr<TForm2>& form2, const TForm2Host& host);
void ShowOutputItemsDialog(std::unique_ptr<TForm3>& form3, const TForm3Host& host);
