#include <linux/fb.h>
#include <linux/module.h>
#include <linux/of.h>
#include <linux/of_platform.h>
#include <linux/platform_device.h>

static int __init fb_panel_id_init(void)
{
	struct device_node *np = of_find_compatible_node(NULL, NULL, "simple-framebuffer");
	struct platform_device *pdev = np ? of_find_device_by_node(np) : NULL;
	struct fb_info *info = pdev ? platform_get_drvdata(pdev) : NULL;

	of_node_put(np);
	if (info)
		strscpy(info->fix.id, "fb_axs15231b", sizeof(info->fix.id));
	if (pdev)
		put_device(&pdev->dev);
	return info ? 0 : -ENODEV;
}
module_init(fb_panel_id_init);
MODULE_LICENSE("Dual MIT/GPL");
