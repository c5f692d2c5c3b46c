// placeholder, replaced by the image builder
int main() { return 1; }
