#include "app/MainWindow.h"

// Each module's handlers, bound to the events of the window's controls.
void BindHandlers(MainWindow& w) {
    (void)w;
}
