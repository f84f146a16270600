// What the program tells the page (app/web/starfall-page.js) and asks of it.
#pragma once
#include <exception>

class Application;

// The loop has ended: normally (error empty) or by an error, which the page shows.
void WebFinishRun(Application* application, std::exception_ptr error);
// The page has stopped the production (an error it found itself, such as music it
// cannot decode or a trap): the loop ends without another frame.
bool WebPageStopped();
// Frame index (from 0) has just been presented on the canvas.
void WebFramePresented(long index);
