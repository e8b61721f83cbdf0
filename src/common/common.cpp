// Anchors the library; the folder is mostly interfaces.
namespace velto {
void commonLibraryAnchor()
{
}
} // namespace velto
