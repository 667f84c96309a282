#pragma once

class GallerySheet;

// The main window laid out from the program's images, as the real window
// will be.
void AddMainWindowScene(GallerySheet& sheet);
// Every button strip of both programs in its four states, the list's row
// states, the static text's settings and the message boxes.
void AddControlScenes(GallerySheet& sheet);
// The scroll bars, the combo box and its open drop-down in their states.
void AddComboScenes(GallerySheet& sheet);
// Every PNG and GIF of the linked program resources, at natural size.
void AddResourceImages(GallerySheet& sheet);
