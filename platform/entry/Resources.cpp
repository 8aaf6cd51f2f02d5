// The program's resources (its .rc compiled by windres into a resource file), carried as data
// where the platform's dialog manager and icons look for them.
__asm__(".section .rodata\n"
        ".global vemoraResources\n"
        ".type vemoraResources, @object\n"
        ".balign 4\n"
        "vemoraResources:\n"
        ".incbin \"" VEMORA_RESOURCE_FILE "\"\n"
        ".global vemoraResourcesEnd\n"
        "vemoraResourcesEnd:\n"
        ".previous\n");
