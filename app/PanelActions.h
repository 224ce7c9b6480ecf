#pragma once

class Form;

// What the five panel buttons and the load step do, alike on the sign-in window and the panel.
namespace PanelActions {

// Prepares the photo folders and checks the default photo. When it is missing, says so, unloads
// the window and opens the default photo window; returns false then.
bool prepareFolders(Form* window);

void openMembers(Form* window);        // c1
void openAddressSummary(Form* window); // c2
void showMakerNotice(Form* window);    // c3
void openMakerPage();                  // c4
void openPasswordChange();             // c5

} // namespace PanelActions
