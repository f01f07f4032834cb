// Temporary: lets the window link until the chip operation and image file
// sources land. Every command here is refused with nothing done.
#include "app/unit1.h"

void TForm1::BitBtn2Click() {}
void TForm1::BitBtn3Click() {}
void TForm1::BitBtn8Click() {}
void TForm1::BitBtn9Click() {}
void TForm1::BitBtn7Click() {}
void TForm1::ReadChip() {}
int TForm1::WriteChip() { return 0; }
void TForm1::EraseChip() {}
int TForm1::VerifyChip() { return 0; }
void TForm1::BitBtn1Click() {}
void TForm1::BitBtn4Click() {}
int TForm1::LoadImageFile(const QString&, unsigned char*, int) { return 0; }
void TForm1::SaveImageFile(const QString&, const unsigned char*, int) {}
