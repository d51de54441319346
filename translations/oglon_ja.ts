<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>目がカーソルを追いかける、デスクトップ上の頭</translation>
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
        <translation>デスクトップのおもちゃ</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>デスクトップに現れ、デスクトップ上でカーソルを動かすと、その目がカーソルを追いかけます。</translation>
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
        <translation>目がマウスポインターの方向を見ます</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Oglon メニュー</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>常に手前に表示(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>Oglon について(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>終了(&amp;X)</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>Oglon について</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>作者: %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>プログラム名、作者、作者にメールを書くリンクと作者のウェブサイトへのリンク</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>メールソフトで作者にメールを書きます</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>ブラウザーで作者のウェブサイトを開きます</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>%1 を開けるプログラムがありません。クリップボードにコピーしました。</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Oglon の目がどこでもポインターを追えるようになります</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>Wayland 上の GNOME では、Oglon の GNOME Shell 拡張機能があるときだけ、すべてのウィンドウの上でポインターが見えます。有効にしますか？ 一度ログアウトするまで動かないことがあります。</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>拡張機能を有効にする</translation>
    </message>
</context>
</TS>
