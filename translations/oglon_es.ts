<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Una cabeza en su escritorio cuyos ojos siguen al cursor</translation>
    </message>
</context>
<context>
    <name>DesktopEntry</name>
    <message>
        <source>Oglon</source>
        <translation>Oglon</translation>
    </message>
    <message>
        <source>Desktop Toy</source>
        <translation>Juguete de escritorio</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Aparece en su escritorio y sus ojos siguen al cursor mientras lo mueve por el escritorio.</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>Oglon</source>
        <translation>Oglon</translation>
    </message>
    <message>
        <source>The eyes look in the direction of the mouse pointer</source>
        <translation>Los ojos miran en la dirección del puntero del ratón</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Menú de Oglon</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>&amp;Siempre visible</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>&amp;Acerca de Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>Sa&amp;lir</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>Acerca de Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;Aceptar</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Por %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>El nombre del programa, su autor y enlaces para escribir al autor y visitar su sitio web</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Escribe al autor en su programa de correo</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Abre el sitio web del autor en su navegador</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Ningún programa pudo abrir %1. Se ha copiado al portapapeles.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Los ojos de Oglon pueden seguir el puntero por todas partes</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>En GNOME con Wayland solo lo ven sobre cualquier ventana con la extensión de GNOME Shell de Oglon. ¿Activarla? Puede que necesite cerrar la sesión una vez para arrancar.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Activar la extensión</translation>
    </message>
</context>
</TS>
