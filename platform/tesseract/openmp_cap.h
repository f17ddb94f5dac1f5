#pragma once

namespace pw::tess {

// Makes every OpenMP parallel region started on the calling thread run on that thread
// alone, including regions that ask for a team size of their own (Tesseract's LSTM
// asks for four). Requests already run side by side on a pool sized to the cores; a
// team per request on top of that oversubscribes the cores with spinning threads.
// Harmless when no OpenMP runtime is loaded.
void capOpenMPOnThisThread();

}  // namespace pw::tess
