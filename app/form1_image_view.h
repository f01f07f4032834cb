#pragma once
// Hands the first ImageLength bytes of the image to the hex view, through the
// window's view stream. Used after a chip read and after opening a file.
class TForm1;
void ShowImageInView(TForm1& form);
