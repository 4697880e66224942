"""preview_x11: the live preview inside the application's own X window (python3-xlib).

    python3 preview_x11.py [FRAMES]

The library makes its preview window as a child of ours and posts FrameMessage to it; on X
each posted message arrives as a ClientMessage of type ORVEX_MESSAGE whose five 32-bit items
are the message, the low and high halves of wParam and those of lParam."""

import select
import sys

from Xlib import X, display as xdisplay

import orvex


def joined(low, high):
    return (high & 0xFFFFFFFF) << 32 | (low & 0xFFFFFFFF)


def main():
    wanted = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    connection = xdisplay.Display()
    screen = connection.screen()
    window = screen.root.create_window(0, 0, 640, 512, 0, screen.root_depth, X.InputOutput,
                                       X.CopyFromParent, background_pixel=screen.black_pixel)
    window.set_wm_name("preview_x11.py")
    window.map()
    connection.sync()
    library_message = connection.intern_atom("ORVEX_MESSAGE")

    frames = 0
    with orvex.Camera(0, notify_window=window.id) as camera:
        # The whole picture, scaled into 640 x 512 at (0, 0) of our window; messages to it.
        camera.start_preview(frame_window=window.id, parent=window.id, rect=(0, 0, 640, 512))
        try:
            while frames < wanted:
                if not connection.pending_events():
                    if not select.select([connection.fileno()], [], [], 10.0)[0]:
                        break  # no frame for 10 s
                event = connection.next_event()
                if event.type != X.ClientMessage or event.client_type != library_message:
                    continue
                items = event.data[1]
                message, wparam, lparam = items[0], joined(items[1], items[2]), joined(items[3],
                                                                                       items[4])
                if message == orvex.FRAME_MESSAGE and wparam:
                    info = orvex.frame_info_at(wparam)
                    frames += 1
                    if frames % 30 == 0:
                        print("%d frames, %.1f frames/s" % (frames, info.frameRate / 10))
                elif message == orvex.FRAME_MESSAGE:
                    print("frame failed:", orvex.error_name(lparam), file=sys.stderr)
                    if lparam == 13:  # ErrorStreamStopped: the preview has ended
                        break
        finally:
            camera.stop_preview()
    window.destroy()
    connection.close()
    print("%d frames shown" % frames)
    return 0 if frames == wanted else 1


if __name__ == "__main__":
    sys.exit(main())
